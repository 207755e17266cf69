// Loads a KMZ file made with --time-track into CesiumJS in headless Chromium
// and checks the track in time against the CSV export of the same run: with
// the clock at the time of a valid fix, the track's entity stands at that fix
// (within 1 m on the ellipsoid). Five fixes are taken, spread over the log.
//
//   node check.mjs check KMZ CSV
//   node check.mjs picture KMZ CSV OUT1.png OUT2.png
//       the globe at a third and at two thirds of the log, with the clock's
//       widgets, for the README.
//
// Uses the browser and the CesiumJS package that bench/globe/prepare.sh sets
// up; every request for another host than our loopback server is aborted.
import { createRequire } from "node:module";
import { createServer } from "node:http";
import { createReadStream, promises as fs } from "node:fs";
import { mkdtemp, rm } from "node:fs/promises";
import { tmpdir } from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";

const here = path.dirname(fileURLToPath(import.meta.url));
const globeDir = path.join(here, "..", "..", "..", "bench", "globe");
const require = createRequire(path.join(globeDir, "package.json"));
const { chromium } = require("playwright-core");
const cesiumDir = path.join(globeDir, "node_modules", "cesium", "Build", "Cesium");

const [mode, kmz, csv, ...pictures] = process.argv.slice(2);
if (!((mode === "check" && pictures.length === 0) || (mode === "picture" && pictures.length === 2)) || !csv) {
  console.error("usage: node check.mjs check KMZ CSV | picture KMZ CSV OUT1.png OUT2.png");
  process.exit(2);
}

// The valid fixes with a time, from the CSV export (RFC 4180, our own columns:
// no field of these rows holds a quote).
async function validFixes(file) {
  const lines = (await fs.readFile(file, "utf8")).split("\r\n").filter((l) => l.length > 0);
  const header = lines[0].split(",");
  const column = (name) => header.indexOf(name);
  const fixes = [];
  for (const line of lines.slice(1)) {
    const cells = line.match(/("([^"]|"")*"|[^,]*)(,|$)/g).map((c) => c.replace(/,$/, ""));
    if (cells[column("valid")] === "1" && cells[column("time")] !== "") {
      fixes.push({
        time: cells[column("time")],
        longitude: Number(cells[column("longitude")]),
        latitude: Number(cells[column("latitude")]),
      });
    }
  }
  return fixes;
}

function pick(fixes, shares) {
  return shares.map((s) => fixes[Math.min(fixes.length - 1, Math.floor(s * (fixes.length - 1)))]);
}

async function serve() {
  const files = { "/": path.join(here, "page.html"), "/page.js": path.join(here, "page.js"), "/track.kmz": kmz };
  const server = createServer(async (req, res) => {
    const pathname = decodeURIComponent(new URL(req.url, "http://127.0.0.1").pathname);
    let file = files[pathname];
    if (!file && pathname.startsWith("/cesium/")) {
      file = path.join(cesiumDir, path.normalize(pathname.slice("/cesium/".length)));
      if (!file.startsWith(cesiumDir + path.sep)) file = undefined;
    }
    try {
      if (!file || !(await fs.stat(file)).isFile()) throw new Error("not ours");
      const types = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".json": "application/json" };
      res.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
      createReadStream(file).pipe(res);
    } catch {
      res.writeHead(404);
      res.end();
    }
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  return server;
}

async function main() {
  const fixes = await validFixes(csv);
  if (fixes.length < 2) {
    console.log(`cesium-time  ${kmz}  FAIL: fewer than two valid timed fixes in ${csv}`);
    return 1;
  }
  const server = await serve();
  const origin = `http://127.0.0.1:${server.address().port}`;
  const userDataDir = await mkdtemp(path.join(tmpdir(), "tervo-time-"));
  const context = await chromium.launchPersistentContext(userDataDir, {
    executablePath: process.env.TERVO_CHROMIUM || "/usr/bin/chromium",
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
           "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"],
    viewport: { width: 960, height: 600 },
  });
  const errors = [];
  let status = 0;
  try {
    const page = await context.newPage();
    page.on("pageerror", (err) => errors.push(err.message));
    page.on("console", (msg) => msg.type() === "error" && errors.push(msg.text()));
    await page.route("**/*", (route) =>
      route.request().url().startsWith(origin + "/") ? route.continue() : route.abort("blockedbyclient"),
    );
    await page.goto(origin + "/", { waitUntil: "load" });
    await page.evaluate(() => window.tervoLoad("/track.kmz"));
    if (mode === "check") {
      const stands = await page.evaluate((f) => window.tervoStandsAt(f), pick(fixes, [0, 0.25, 0.5, 0.75, 1]));
      const off = stands.filter((s) => s.metres === null || s.metres > 1);
      if (off.length || errors.length) {
        status = 1;
        const what = off.map((s) => `${s.time}: ${s.metres === null ? "nowhere" : s.metres.toFixed(3) + " m off"}`);
        console.log(`cesium-time  ${kmz}  FAIL: ${[...what, ...errors.slice(0, 1)].join("; ")}`);
      } else {
        const worst = Math.max(...stands.map((s) => s.metres));
        console.log(`cesium-time  ${kmz}  ok: at ${stands.length} times the track stands at the fix (at most ${worst.toFixed(3)} m off)`);
      }
    } else {
      const [first, second] = pick(fixes, [1 / 3, 2 / 3]);
      for (const [fix, out] of [[first, pictures[0]], [second, pictures[1]]]) {
        await page.evaluate((t) => window.tervoShowAt(t), fix.time);
        await page.screenshot({ path: out });
      }
    }
  } catch (err) {
    status = 1;
    console.log(`cesium-time  ${kmz}  FAIL: ${String(err.message || err).split("\n")[0]}`);
  } finally {
    await context.close().catch(() => {});
    server.close();
    await rm(userDataDir, { recursive: true, force: true });
  }
  return status;
}

process.exit(await main());
