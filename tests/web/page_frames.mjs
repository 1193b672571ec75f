// The page draws the same frames as the desktop: at moments that cover
// every effect, a flash, a stamp pair, a zoom, the closing scene's wireframe
// and the readout, the page's ?at=MS frame against orvane-capture --still MS
// from the same stand-in soundtrack and pictures. At least 99.9 % of the
// pixels must lie within 4/255; the rest are listed. Both frames and a map
// of the differing pixels are kept in WEB_TEST_OUT to look at.
//
// Environment: ORVANE_CAPTURE and MAKE_STANDINS (the native tools),
// WEB_TEST_OUT (a folder for the pictures).
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { readPng, writePng } from './png.mjs';
import {
  PageDir, compareFrames, describeOutliers, expect, launchBrowser, openTab, pageStill, requirePage,
  runChecks, serve,
} from './lib.mjs';

const Moments = [
  [240, 'square pulses: the first, under the readout'],
  [16180, 'vertical bands: the first, half faded, under the readout'],
  [45000, 'orbiting square'],
  [50000, 'orbiting square in a band\'s alpha'],
  [69970, 'ring pulses'],
  [72600, 'square stamps: the first'],
  [90950, 'a screen flash'],
  [99625, 'a stamp pair: the second inside the first'],
  [172480, 'picture zooms: the first at full strength'],
  [174000, 'picture zooms: the second, fading'],
  [179270, 'a ring added after the zooms'],
  [184660, 'vertical bands: band 37'],
  [194960, 'closing scene: first frame, the outline blended'],
  [195500, 'closing scene: the wireframe opaque'],
  [199960, 'closing scene with the last band, unblended'],
];
const MinimumWithin = 0.999;

requirePage();
const out = process.env.WEB_TEST_OUT || mkdtempSync(join(tmpdir(), 'orvane-page-frames-'));
mkdirSync(out, { recursive: true });
const show = mkdtempSync(join(tmpdir(), 'orvane-show-'));
const desktop = join(show, 'stills');
mkdirSync(desktop);
execFileSync(process.env.MAKE_STANDINS, [show]);
// Without DISPLAY the tool starts an Xvfb of its own, whose number cannot
// clash with another server's.
execFileSync(process.env.ORVANE_CAPTURE, [...Moments.flatMap(([ms]) => ['--still', String(ms)]), '--out-dir', desktop],
  { cwd: show, env: { ...process.env, DISPLAY: '' } });

const server = await serve({ '/': PageDir });
const browser = await launchBrowser();
const page = await openTab(browser);
try {
  await runChecks('page frames', Moments.map(([ms, what]) => [`${ms} ms, ${what}`, async () => {
    const still = await pageStill(page, server.url, ms);
    writePng(join(out, `page-${ms}.png`), still.frame);
    expect(still.title === `Orvane: frame ${ms}`, `title "${still.title}"; page said: ${page.messages.join('; ')}`);
    const theirs = readPng(join(desktop, `still-${ms}.png`));
    writePng(join(out, `desktop-${ms}.png`), theirs);
    const { within, outliers } = compareFrames(still.frame, theirs);
    const map = Buffer.alloc(theirs.rgb.length);
    for (const { x, y } of outliers) map.fill(255, (y * theirs.width + x) * 3, (y * theirs.width + x) * 3 + 3);
    writePng(join(out, `differ-${ms}.png`), { width: theirs.width, height: theirs.height, rgb: map });
    console.log(`  ${(within * 100).toFixed(3)} % within 4/255, ${outliers.length} pixels not, still in ${still.seconds.toFixed(1)} s`);
    expect(within >= MinimumWithin,
      `only ${(within * 100).toFixed(3)} % of pixels within 4/255: ${describeOutliers(outliers)}`);
    expect(page.messages.length === 0, page.messages.join('; '));
  }]));
  console.log(`frames and differences in ${out}`);
} finally {
  await browser.close();
  server.close();
  rmSync(show, { recursive: true, force: true });
}
