// The GLES2 renderer on the page, scene by scene against the desktop's
// render of the same calls (tests/support/renderer_scenes.cpp): display
// lists called from lists, one of them replayed while another is compiled;
// glPolygonMode's outlines (the closing scene's sphere, cubes with back
// faces filled or outlined too); the readout font's glyphs one after the
// other by their advance, in the raster position's colour, blended; every
// kind of primitive; textures by names the program chooses. At least
// 99.9 % of the pixels within 4/255, as for the show's frames.
//
// Environment: RENDERER_DESKTOP (the native program), WEB_TEST_OUT.
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { readPng, writePng } from './png.mjs';
import {
  WebBuild, compareFrames, describeOutliers, expect, launchBrowser, openTab, requireBuilt, runChecks,
  screenshotFrame, serve, waitForTitle,
} from './lib.mjs';

const Scenes = [
  ['nested-lists', 'lists calling lists, one replayed inside another\'s recording; a colour inside glBegin; glRectf'],
  ['wireframes', 'front faces outlined as GL_LINE draws them, back faces culled, filled or outlined'],
  ['glyphs', 'the readout font\'s glyphs, advancing by their widths, in the raster colour, blended'],
  ['primitive-kinds', 'every kind of primitive, unfinished ones dropped, culling, clamped colours, the matrix stack\'s depth'],
  ['textures', 'textures by chosen names, sharp and smooth, an incomplete one, texture coordinates in a list, added'],
];
const MinimumWithin = 0.999;

requireBuilt(join(WebBuild, 'tests/web/renderer.js'));
const out = process.env.WEB_TEST_OUT || mkdtempSync(join(tmpdir(), 'orvane-renderer-scenes-'));
const desktop = join(out, 'desktop');
mkdirSync(desktop, { recursive: true });
// Without DISPLAY it starts an Xvfb of its own, whose number cannot clash
// with another server's.
execFileSync(process.env.RENDERER_DESKTOP, [desktop], { env: { ...process.env, DISPLAY: '' } });

const server = await serve({ '/': join(WebBuild, 'tests/web') });
const browser = await launchBrowser();
const page = await openTab(browser);
try {
  await runChecks('renderer scenes', Scenes.map(([name, what]) => [`${name}: ${what}`, async () => {
    await page.goto(`${server.url}/renderer.html?scene=${name}`);
    await waitForTitle(page, t => t.startsWith('drawn'));
    const ours = await screenshotFrame(page);
    writePng(join(out, `page-${name}.png`), ours);
    const theirs = readPng(join(desktop, `${name}.png`));
    const { within, outliers } = compareFrames(ours, theirs);
    console.log(`  ${(within * 100).toFixed(3)} % within 4/255, ${outliers.length} pixels not`);
    expect(within >= MinimumWithin,
      `only ${(within * 100).toFixed(3)} % of pixels within 4/255: ${describeOutliers(outliers)}`);
    expect(page.messages.length === 0, page.messages.join('; '));
  }]));
  console.log(`pictures in ${out}`);
} finally {
  await browser.close();
  server.close();
}
