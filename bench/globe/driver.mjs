// Loads KMZ files into CesiumJS in headless Chromium, one fresh page per file,
// through page.html served from this process on 127.0.0.1 only. What is timed
// and counted is described at the top of globe.js.
//
//   node driver.mjs bench [--timeout S] [--screenshots DIR] KMZ...
//       prints a table: file, size, seconds to loaded, seconds to the first
//       complete frame, entities, billboards, polylines, console errors,
//       blocked requests; exits 1 when a file fails to load.
//   node driver.mjs check [--timeout S] --expect N KMZ [--expect N KMZ]...
//       prints one line per file; a file fails on a load error, a console error,
//       a blocked request, or a placemark count other than N; exits 1 on any
//       failure.
//   node driver.mjs watch [--timeout S] [--wait S] [--screenshot PNG] LINK.kml
//       loads the link file of a live run (its directory served as it lies),
//       counts the placemarks once there are any, waits S seconds (default 6)
//       of the links' refreshes and counts again; fails unless the count grew,
//       and on a console error or a blocked request.
//
// Both exit 2, saying why, when the browser cannot start or cannot draw WebGL.
// Every request for a host other than our loopback server is aborted and
// counted; Chromium's host resolver also maps every other name to nothing, so
// none leaves the machine even if a request escaped the route.
//
// TERVO_CHROMIUM  the browser (default /usr/bin/chromium); Playwright never
//                 downloads one.
// --timeout S     seconds per file, loading to the first complete frame
//                 (default TERVO_GLOBE_TIMEOUT or 900).
// --screenshots DIR  saves the first complete frame of each file as
//                 DIR/NAME.png (bench mode), to see what was drawn.
import { chromium } from "playwright-core";
import { createServer } from "node:http";
import { createReadStream, promises as fs } from "node:fs";
import { mkdtemp, rm } from "node:fs/promises";
import { tmpdir } from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";

const here = path.dirname(fileURLToPath(import.meta.url));
const cesiumDir = path.join(here, "node_modules", "cesium", "Build", "Cesium");

function usage() {
  console.error(
    "usage: node driver.mjs bench [--timeout S] [--screenshots DIR] KMZ...\n" +
      "       node driver.mjs check [--timeout S] --expect N KMZ [--expect N KMZ]...\n" +
      "       node driver.mjs watch [--timeout S] [--wait S] [--screenshot PNG] LINK.kml",
  );
  process.exit(2);
}

function parseArgs(argv) {
  const mode = argv[0];
  if (mode !== "bench" && mode !== "check" && mode !== "watch") usage();
  let timeout = Number(process.env.TERVO_GLOBE_TIMEOUT || 900);
  const files = [];
  let expect;
  let screenshots;
  let wait = 6;
  let screenshot;
  for (let i = 1; i < argv.length; i++) {
    const arg = argv[i];
    if (arg === "--timeout") {
      timeout = Number(argv[++i]);
    } else if (arg === "--screenshots" && mode === "bench") {
      screenshots = argv[++i];
      if (!screenshots) usage();
    } else if (arg === "--wait" && mode === "watch") {
      wait = Number(argv[++i]);
      if (!(wait > 0)) usage();
    } else if (arg === "--screenshot" && mode === "watch") {
      screenshot = argv[++i];
      if (!screenshot) usage();
    } else if (arg === "--expect") {
      expect = Number(argv[++i]);
      if (!Number.isInteger(expect) || expect < 0) usage();
    } else if (arg.startsWith("--")) {
      usage();
    } else {
      if (mode === "check" && expect === undefined) usage();
      files.push({ file: path.resolve(arg), shown: arg, expect });
      expect = undefined;
    }
  }
  if (!files.length || !(timeout > 0) || (mode === "watch" && files.length !== 1)) usage();
  return { mode, timeout, files, screenshots, wait, screenshot };
}

const contentTypes = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".mjs": "text/javascript; charset=utf-8",
  ".css": "text/css; charset=utf-8",
  ".json": "application/json",
  ".wasm": "application/wasm",
  ".png": "image/png",
  ".jpg": "image/jpeg",
  ".svg": "image/svg+xml",
  ".xml": "application/xml",
  ".kmz": "application/vnd.google-earth.kmz",
  ".kml": "application/vnd.google-earth.kml+xml",
};

// Serves the page, Cesium's built files and the KMZ files (as /kmz/INDEX/NAME),
// on 127.0.0.1 and a port of the system's choosing.
async function serve(files) {
  const server = createServer(async (req, res) => {
    let file;
    let pathname = "";
    try {
      pathname = decodeURIComponent(new URL(req.url, "http://127.0.0.1").pathname);
    } catch {
      // a malformed path: served as not found
    }
    if (pathname === "/" || pathname === "/page.html") {
      file = path.join(here, "page.html");
    } else if (pathname === "/globe.js") {
      file = path.join(here, "globe.js");
    } else if (pathname.startsWith("/cesium/")) {
      file = path.join(cesiumDir, path.normalize(pathname.slice("/cesium/".length)));
      if (!file.startsWith(cesiumDir + path.sep)) file = undefined;
    } else if (pathname.startsWith("/live/") && files.live) {
      // A live run's files, as the link file names them, from its directory.
      const dir = path.dirname(files[0].file);
      file = path.join(dir, path.normalize(pathname.slice("/live/".length)));
      if (!file.startsWith(dir + path.sep)) file = undefined;
    } else {
      const m = /^\/kmz\/(\d+)\//.exec(pathname);
      if (m && files[Number(m[1])]) file = files[Number(m[1])].file;
    }
    try {
      if (!file) throw new Error("not ours");
      const stat = await fs.stat(file);
      if (!stat.isFile()) throw new Error("not a file");
      res.writeHead(200, {
        "Content-Type": contentTypes[path.extname(file).toLowerCase()] || "application/octet-stream",
        "Content-Length": stat.size,
        "Cache-Control": "no-store",
      });
      createReadStream(file).pipe(res);
    } catch {
      res.writeHead(404, { "Content-Type": "text/plain" });
      res.end("not found\n");
    }
  });
  await new Promise((resolve, reject) => {
    server.once("error", reject);
    server.listen(0, "127.0.0.1", resolve);
  });
  return server;
}

const chromiumArgs = [
  "--headless",
  "--no-sandbox",
  "--disable-gpu",
  "--use-angle=swiftshader",
  "--enable-unsafe-swiftshader",
  "--disable-quic",
  "--no-first-run",
  "--disable-background-networking",
  "--disable-component-update",
  "--disable-sync",
  "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
];

function withTimeout(promise, seconds, what) {
  let timer;
  return Promise.race([
    promise,
    new Promise((_, reject) => {
      timer = setTimeout(() => reject(new Error(`${what}: no result within ${seconds} s`)), seconds * 1000);
    }),
  ]).finally(() => clearTimeout(timer));
}

// One file in a page of its own: the result of tervoLoad, or loadError.
// In check mode the first console error or blocked request ends the wait: the
// file has failed already, and a frame that waits on an icon that cannot load
// never comes (Cesium retries the image at every frame).
async function loadOne(context, origin, index, entry, timeout, failFast, screenshot) {
  const result = { consoleErrors: [], blocked: [], loadError: undefined };
  let stop;
  const stopped = new Promise((_, reject) => {
    stop = reject;
  });
  stopped.catch(() => {});
  let loading = false;
  const record = (list, text) => {
    list.push(text);
    if (failFast && loading) stop(new Error("stopped at the first console error or blocked request"));
  };
  const page = await context.newPage();
  page.on("console", (msg) => {
    if (msg.type() === "error") record(result.consoleErrors, msg.text().split("\n")[0]);
  });
  page.on("pageerror", (err) => record(result.consoleErrors, `uncaught: ${err.message}`));
  page.on("crash", () => stop(new Error("the page crashed (out of memory?)")));
  await page.route("**/*", (route) => {
    const url = route.request().url();
    if (url.startsWith(origin + "/")) return route.continue();
    record(result.blocked, url);
    return route.abort("blockedbyclient");
  });
  try {
    await withTimeout(Promise.race([page.goto(origin + "/", { waitUntil: "load" }), stopped]), 120, "opening the page");
    try {
      await withTimeout(Promise.race([page.evaluate(() => window.tervoBoot), stopped]), 120, "starting Cesium");
    } catch (err) {
      // A globe that cannot start here (no WebGL) will not start for the next file either.
      err.fatal = true;
      throw err;
    }
    loading = true;
    const name = encodeURIComponent(path.basename(entry.file));
    const loaded =
      entry.wait === undefined
        ? page.evaluate((u) => window.tervoLoad(u), `${origin}/kmz/${index}/${name}`)
        : page.evaluate(([u, w]) => window.tervoWatch(u, w), [`${origin}/live/${name}`, entry.wait]);
    Object.assign(result, await withTimeout(Promise.race([loaded, stopped]), timeout, "loading"));
    if (screenshot) await page.screenshot({ path: screenshot });
  } catch (err) {
    result.loadError = String(err.message || err).split("\n")[0].replace(/^page\.evaluate: (Error: )?/, "");
    if (err.fatal) result.fatal = true;
  } finally {
    await page.close().catch(() => {});
  }
  return result;
}

// One line per distinct message, with how often it came, at most 10 lines.
function summarize(file, what, messages) {
  const counts = new Map();
  for (const m of messages) counts.set(m, (counts.get(m) || 0) + 1);
  const lines = [...counts].slice(0, 10).map(([m, n]) => `${file}: ${what}${n > 1 ? ` (${n} times)` : ""}: ${m}`);
  if (counts.size > 10) lines.push(`${file}: ... and ${counts.size - 10} other ${what} messages`);
  return lines;
}

function formatSize(bytes) {
  if (bytes >= 1024 * 1024) return `${(bytes / 1024 / 1024).toFixed(1)} MB`;
  if (bytes >= 1024) return `${(bytes / 1024).toFixed(1)} kB`;
  return `${bytes} B`;
}

function printTable(rows) {
  const header = ["file", "size", "loaded s", "frame s", "entities", "billboards", "polylines", "errors", "blocked"];
  const lines = [header, ...rows];
  const widths = header.map((_, c) => Math.max(...lines.map((l) => String(l[c]).length)));
  for (const l of lines) {
    console.log(l.map((v, c) => (c === 0 ? String(v).padEnd(widths[c]) : String(v).padStart(widths[c]))).join("  "));
  }
}

// The watch mode: one link file, its refreshes followed for `wait` seconds.
async function watch(context, origin, entry, timeout, screenshot) {
  const r = await loadOne(context, origin, 0, entry, timeout + entry.wait, true, screenshot);
  const problems = [];
  if (r.consoleErrors.length) problems.push(`console error: ${r.consoleErrors[0]}`);
  if (r.blocked.length) problems.push(`request off this machine blocked: ${r.blocked[0]}`);
  if (r.loadError && !problems.length) problems.push(`load error: ${r.loadError}`);
  if (!r.loadError && !(r.first > 0 && r.second > r.first)) {
    problems.push(`${r.first} placemarks, then ${r.second} after ${entry.wait} s: the count did not grow`);
  }
  if (problems.length) {
    console.log(`cesium  ${entry.shown}  FAIL: ${problems.join("; ")}`);
    return r.fatal ? 2 : 1;
  }
  console.log(`cesium  ${entry.shown}  ok: ${r.first} placemarks, then ${r.second} after ${entry.wait} s of refreshes`);
  return 0;
}

async function main() {
  const { mode, timeout, files, screenshots, wait, screenshot } = parseArgs(process.argv.slice(2));
  if (mode === "watch") {
    files.live = true;
    files[0].wait = wait;
  }
  if (screenshots) await fs.mkdir(screenshots, { recursive: true });
  for (const entry of files) {
    try {
      entry.size = (await fs.stat(entry.file)).size;
    } catch {
      entry.size = undefined;
    }
  }
  const executablePath = process.env.TERVO_CHROMIUM || "/usr/bin/chromium";
  const server = await serve(files);
  const origin = `http://127.0.0.1:${server.address().port}`;
  const userDataDir = await mkdtemp(path.join(tmpdir(), "tervo-globe-"));
  let context;
  try {
    context = await chromium.launchPersistentContext(userDataDir, {
      executablePath,
      headless: true,
      args: chromiumArgs,
      viewport: { width: 1280, height: 720 },
      timeout: 60000,
    });
  } catch (err) {
    const why = String(err.message || err).split("\n")[0];
    for (const entry of files) {
      console.log(`cesium  ${entry.shown}  FAIL: the browser (${executablePath}) could not start: ${why}`);
    }
    server.close();
    await rm(userDataDir, { recursive: true, force: true });
    return 2;
  }

  let status = 0;
  const rows = [];
  const details = [];
  try {
    if (mode === "watch") {
      status = await watch(context, origin, files[0], timeout, screenshot);
      return status;
    }
    for (let i = 0; i < files.length; i++) {
      const entry = files[i];
      if (mode === "bench") console.error(`Loading ${entry.shown}`);
      const r =
        entry.size === undefined
          ? { loadError: "no such file", consoleErrors: [], blocked: [] }
          : await loadOne(context, origin, i, entry, timeout, mode === "check",
              screenshots && path.join(screenshots, `${i + 1}-${path.basename(entry.file, path.extname(entry.file))}.png`));
      details.push(...summarize(entry.shown, "console error", r.consoleErrors));
      details.push(...summarize(entry.shown, "blocked", r.blocked));
      if (mode === "bench") {
        if (r.loadError) {
          status = Math.max(status, 1);
          details.push(`${entry.shown}: load error: ${r.loadError}`);
        }
        const fixed = (v) => (v === undefined ? "-" : v.toFixed(2));
        const whole = (v) => (v === undefined ? "-" : v);
        rows.push([
          entry.shown,
          entry.size === undefined ? "-" : formatSize(entry.size),
          fixed(r.loadedSeconds),
          fixed(r.frameSeconds),
          whole(r.entities),
          whole(r.billboards),
          whole(r.polylines),
          r.consoleErrors.length,
          r.blocked.length,
        ]);
      } else {
        const problems = [];
        if (r.fatal) problems.push(r.loadError);
        else if (r.consoleErrors.length) problems.push(`console error: ${r.consoleErrors[0]}`);
        if (r.blocked.length) problems.push(`request off this machine blocked: ${r.blocked[0]}`);
        if (r.loadError && !r.fatal && !problems.length) problems.push(`load error: ${r.loadError}`);
        if (!r.loadError && r.placemarks !== entry.expect) {
          problems.push(`${r.placemarks} placemark entities for ${entry.expect} <Placemark> elements`);
        }
        if (problems.length) {
          status = Math.max(status, 1);
          console.log(`cesium  ${entry.shown}  FAIL: ${problems.join("; ")}`);
        } else {
          console.log(
            `cesium  ${entry.shown}  ok: ${r.placemarks} placemarks (${r.entities} entities, ` +
              `${r.billboards} billboards, ${r.polylines} polylines), first complete frame in ${r.frameSeconds.toFixed(2)} s`,
          );
        }
      }
      if (r.fatal) {
        status = 2;
        const why = `the browser started but Cesium could not (${r.loadError})`;
        for (const rest of files.slice(i + 1)) {
          if (mode === "check") console.log(`cesium  ${rest.shown}  FAIL: ${why}`);
          else details.push(`${rest.shown}: not loaded: ${why}`);
        }
        break;
      }
    }
  } finally {
    await context.close().catch(() => {});
    server.close();
    await rm(userDataDir, { recursive: true, force: true });
  }
  if (mode === "bench") printTable(rows);
  for (const d of details) console.error(d);
  return status;
}

process.exitCode = await main();
