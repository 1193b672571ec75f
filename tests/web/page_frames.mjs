// The page draws the same frames as the desktop: at moments that cover
// every effect, a flash, a stamp pair, a zoom, the closing scene's wireframe
// and the readout (tests/support/page_moments.h), the page's ?at=MS frame
// against orvane-capture --still MS from the same stand-in soundtrack and
// pictures. At least 99.9 % of the
// pixels must lie within 4/255; the rest are listed. Both frames and a map
// of the differing pixels are kept in WEB_TEST_OUT to look at.
//
// Environment: ORVANE_CAPTURE and MAKE_STANDINS (the native tools),
// WEB_TEST_OUT (a folder for the pictures).
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { readPng, writePng } from './png.mjs';
import {
  PageDir, Root, compareFrames, describeOutliers, expect, launchBrowser, openTab, pageStill, requirePage,
  runChecks, serve,
} from './lib.mjs';

// The moments, from their one home.
function pageMoments() {
  const source = readFileSync(join(Root, 'tests/support/page_moments.h'), 'utf8');
  const moments = [...source.matchAll(/\{(\d+), "([^"]+)"\}/g)].map(m => [Number(m[1]), m[2]]);
  if (moments.length === 0) throw new Error('no PageMoments in tests/support/page_moments.h');
  return moments;
}
const Moments = pageMoments();
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
