// The in-page half of driver.mjs: builds a Cesium Viewer that needs nothing
// from past this machine, and loads one KMZ file into it on request.
//
// What is timed (tervoLoad), from t0 = just before KmlDataSource.load(url) is
// called, so fetching the file over loopback, unzipping and parsing it count and
// the Viewer's own start does not:
//
//   loaded  the KmlDataSource's load promise has resolved and the data source
//           has been added to the viewer: every feature is an entity.
//   frame   the first frame drawn with all of the file in it:
//           1. the clock is put at the end of the data's time span. Cesium makes
//              a TimeStamp mean "exists from then on", so at the stop time every
//              placemark is available, and none is hidden by time;
//           2. viewer.zoomTo(dataSource) resolves: it waits until the data
//              source display gives a finished bounding sphere for every entity,
//              that is, until every billboard is placed and every polyline's
//              geometry has been built (on web workers) into a ready primitive;
//              the camera is then set, at once, to show all of them;
//           3. then the first postRender after that at which the data source's
//              entity cluster is ready: every billboard's icon and every label's
//              glyphs were in the texture atlas when that frame drew them.
//           frame is the time of that postRender.
//
// The globe renders in Cesium's request-render mode: a frame is drawn when
// Cesium asks for one (entities changed, an image or geometry became ready, the
// camera moved), not at every animation frame. Here rendering is in software
// (SwiftShader), where a frame of an empty globe takes about 0.1 s and one with
// thousands of billboards and labels seconds: rendering continuously would make
// the times mostly a measure of frames drawn while the file is still loading.
// The globe's own tiles (ellipsoid, no imagery) are not waited for: they are the
// same for any file over the same place, and refining them down to street level
// takes SwiftShader here about ten seconds more.
"use strict";

(function () {
  function seconds(ms) {
    return Math.round(ms) / 1000;
  }

  function nextPostRender(scene, done) {
    return new Promise((resolve) => {
      const remove = scene.postRender.addEventListener(() => {
        if (done()) {
          remove();
          resolve(performance.now());
        }
      });
    });
  }

  let viewer;
  window.tervoBoot = (async function () {
    try {
      return await boot();
    } catch (err) {
      // Cesium's own errors are not Errors, and the driver is to say what happened.
      throw new Error(`Cesium could not start: ${String(err?.message ?? err).split("\n")[0]}`);
    }
  })();

  window.tervoBoot.catch(() => {}); // the driver reads the error

  async function boot() {
    // No Ion: nothing below asks for an Ion asset, and with no token none could be had.
    Cesium.Ion.defaultAccessToken = "";
    viewer = new Cesium.Viewer("globe", {
      baseLayer: false,
      terrainProvider: new Cesium.EllipsoidTerrainProvider(),
      geocoder: false,
      baseLayerPicker: false,
      homeButton: false,
      sceneModePicker: false,
      navigationHelpButton: false,
      animation: false,
      timeline: false,
      fullscreenButton: false,
      infoBox: false,
      selectionIndicator: false,
      requestRenderMode: true,
      maximumRenderTimeChange: Infinity,
    });
    viewer.clock.shouldAnimate = false;
    // The sky, the atmospheres, the sun, the moon and fog show nothing of a KMZ
    // file and cost most of a frame in a software renderer (SwiftShader): a
    // 1280 x 720 frame of the empty globe took about 0.65 s here with them and
    // 0.1 s without.
    const scene = viewer.scene;
    scene.skyBox.show = false;
    scene.skyAtmosphere.show = false;
    scene.sun.show = false;
    scene.moon.show = false;
    scene.fog.enabled = false;
    scene.globe.showGroundAtmosphere = false;
    window.tervoViewer = viewer; // for looking around by hand
    await nextPostRender(viewer.scene, () => true);
    return { cesium: Cesium.VERSION };
  }

  function isShowing(entity, graphics, time) {
    return (
      entity.isShowing &&
      entity.isAvailable(time) &&
      Cesium.Property.getValueOrDefault(graphics.show, time, true)
    );
  }

  const graphicsNames = [
    "billboard", "box", "corridor", "cylinder", "ellipse", "ellipsoid", "label", "model",
    "path", "plane", "point", "polygon", "polyline", "polylineVolume", "rectangle", "wall",
  ];

  // Counts what the data source holds and what the current frame shows.
  //   entities    every entity: one per Placemark and one per Folder, and one
  //               per part of a MultiGeometry
  //   placemarks  entities with a geometry, the parts of one MultiGeometry
  //               counted once (they share their placemark's KML data)
  //   billboards, polylines  entities that show one at the clock's time
  function count(dataSource) {
    const time = viewer.clock.currentTime;
    const entities = dataSource.entities.values;
    const placemarks = new Set();
    let billboards = 0;
    let polylines = 0;
    for (const entity of entities) {
      if (graphicsNames.some((name) => entity[name] !== undefined)) {
        placemarks.add(entity.kml ?? entity);
      }
      if (entity.billboard && isShowing(entity, entity.billboard, time)) {
        billboards++;
      }
      if (entity.polyline && isShowing(entity, entity.polyline, time)) {
        polylines++;
      }
    }
    return {
      entities: entities.length,
      placemarks: placemarks.size,
      billboards,
      polylines,
    };
  }

  // A live run's link file: the placemarks once there are any, and again after
  // `waitSeconds` of the links' refreshes (Cesium reloads a refreshing
  // NetworkLink from its own update, at every tick of the render loop).
  window.tervoWatch = async function (url, waitSeconds) {
    await window.tervoBoot;
    const scene = viewer.scene;
    const dataSource = await Cesium.KmlDataSource.load(url, {
      camera: scene.camera,
      canvas: scene.canvas,
      clampToGround: false,
    });
    await viewer.dataSources.add(dataSource);
    const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
    const started = performance.now();
    while (count(dataSource).placemarks === 0 && performance.now() - started < 60000) {
      await sleep(200);
    }
    const first = count(dataSource).placemarks;
    await sleep(waitSeconds * 1000);
    const second = count(dataSource).placemarks;
    const clock = dataSource.clock;
    if (clock) {
      viewer.clock.currentTime = clock.stopTime.clone();
    }
    await viewer.zoomTo(dataSource);
    scene.requestRender();
    await nextPostRender(scene, () => dataSource.clustering.ready);
    return { first, second, ...count(dataSource) };
  };

  window.tervoLoad = async function (url) {
    await window.tervoBoot;
    const scene = viewer.scene;
    const t0 = performance.now();
    const dataSource = await Cesium.KmlDataSource.load(url, {
      camera: scene.camera,
      canvas: scene.canvas,
      clampToGround: false,
    });
    await viewer.dataSources.add(dataSource);
    const tLoaded = performance.now();

    const clock = dataSource.clock;
    if (clock) {
      viewer.clockTrackedDataSource = undefined;
      viewer.clock.startTime = clock.startTime.clone();
      viewer.clock.stopTime = clock.stopTime.clone();
      viewer.clock.currentTime = clock.stopTime.clone();
    }
    viewer.clock.shouldAnimate = false;
    scene.requestRender();

    const zoomed = await viewer.zoomTo(dataSource);
    const tZoomed = performance.now();
    scene.requestRender();
    const tFrame = await nextPostRender(scene, () => dataSource.clustering.ready);
    return {
      loadedSeconds: seconds(tLoaded - t0),
      zoomedSeconds: seconds(tZoomed - t0),
      frameSeconds: seconds(tFrame - t0),
      zoomed,
      ...count(dataSource),
    };
  };
})();
