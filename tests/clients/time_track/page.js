// The in-page half of check.mjs: a globe without imagery or Ion, a KMZ file
// loaded on request, and the track in time read at given times.
"use strict";

(function () {
  let viewer;
  let dataSource;
  let zoomed = false;

  window.tervoBoot = (async function () {
    Cesium.Ion.defaultAccessToken = "";
    viewer = new Cesium.Viewer("globe", {
      baseLayer: false,
      terrainProvider: new Cesium.EllipsoidTerrainProvider(),
      geocoder: false,
      baseLayerPicker: false,
      homeButton: false,
      sceneModePicker: false,
      navigationHelpButton: false,
      fullscreenButton: false,
      infoBox: false,
      selectionIndicator: false,
      requestRenderMode: true,
      maximumRenderTimeChange: Infinity,
    });
    viewer.clock.shouldAnimate = false;
    const scene = viewer.scene;
    scene.skyBox.show = false;
    scene.skyAtmosphere.show = false;
    scene.sun.show = false;
    scene.moon.show = false;
    scene.fog.enabled = false;
    scene.globe.showGroundAtmosphere = false;
    scene.globe.baseColor = Cesium.Color.fromCssColorString("#dfe6d8");
    return Cesium.VERSION;
  })();

  // The entity of the track in time: the one whose position changes in time.
  function trackEntity() {
    return dataSource.entities.values.find(
      (e) => e.position && !(e.position instanceof Cesium.ConstantPositionProperty) && !e.position.isConstant,
    );
  }

  window.tervoLoad = async function (url) {
    await window.tervoBoot;
    dataSource = await Cesium.KmlDataSource.load(url, {
      camera: viewer.scene.camera,
      canvas: viewer.scene.canvas,
      clampToGround: false,
    });
    await viewer.dataSources.add(dataSource);
    const track = trackEntity();
    if (!track) throw new Error("no entity moves in time: no track in time in the file");
    // The clock over the track's own span (placemarks that took the fallback
    // date would stretch the data source's clock back to it).
    const span = track.availability;
    viewer.clock.startTime = span.start.clone();
    viewer.clock.stopTime = span.stop.clone();
    viewer.clock.multiplier = 1;
    viewer.timeline.zoomTo(span.start, span.stop);
    return { entities: dataSource.entities.values.length };
  };

  // Where the track's entity stands at each fix's time: its distance on the
  // ellipsoid from the fix in metres (null when it stands nowhere).
  window.tervoStandsAt = function (fixes) {
    const track = trackEntity();
    return fixes.map((fix) => {
      const time = Cesium.JulianDate.fromIso8601(fix.time);
      viewer.clock.currentTime = time;
      const position = track.isAvailable(time) ? track.position.getValue(time) : undefined;
      if (!position) return { time: fix.time, metres: null };
      const at = Cesium.Cartographic.fromCartesian(position);
      const geodesic = new Cesium.EllipsoidGeodesic(
        Cesium.Cartographic.fromDegrees(fix.longitude, fix.latitude),
        new Cesium.Cartographic(at.longitude, at.latitude),
      );
      return { time: fix.time, metres: geodesic.surfaceDistance };
    });
  };

  // The clock at `iso`, the camera over the whole log, and a frame drawn with
  // the track in time alone: its trail so far and its point now.
  window.tervoShowAt = async function (iso) {
    if (!zoomed) {
      // Over everything, before the rest is hidden.
      await viewer.zoomTo(dataSource, new Cesium.HeadingPitchRange(0, -Math.PI / 2, 0));
      zoomed = true;
    }
    const track = trackEntity();
    for (const entity of dataSource.entities.values) {
      entity.show = entity === track || (entity.position === undefined && entity.polyline === undefined);
    }
    viewer.clock.currentTime = Cesium.JulianDate.fromIso8601(iso);
    viewer.timeline.updateFromClock();
    viewer.scene.requestRender();
    await new Promise((resolve) => {
      const remove = viewer.scene.postRender.addEventListener(() => {
        remove();
        resolve();
      });
    });
  };
})();
