// Bad input on the page: a picture missing or unreadable gives the
// program's run-time error report as text on the page and the title
// "Orvane: error", live and in a still; a chosen cud.mod that is not a module
// gives the two failure lines and the silent show; a file the browser cannot
// read is unreadable to the program too; a bad ?at= says what is wrong; a
// browser without WebGL gets one sentence.
//
// Environment: WEB_TEST_OUT (screenshots of each state).
import { mkdirSync, mkdtempSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import {
  PageDir, expect, launchBrowser, openTab, requirePage, runChecks, serve, waitForTitle,
} from './lib.mjs';

requirePage();
const out = process.env.WEB_TEST_OUT || mkdtempSync(join(tmpdir(), 'orvane-bad-input-'));
mkdirSync(out, { recursive: true });
const files = mkdtempSync(join(tmpdir(), 'orvane-files-'));
const ReportFirstLine = /^Runtime error (\d+) at 0x[0-9A-F]{8}$/;
const ReportAddress = /^0x[0-9A-F]{8}$/;

const server = await serve({ '/': PageDir });
const browser = await launchBrowser();

// A fresh tab; `beforeMain` (a function of the program's file system) runs
// in every program instance before its main.
async function tab(beforeMain) {
  const page = await openTab(browser, 1000, 900);
  if (beforeMain) await page.evaluateOnNewDocument(`window.orvaneBeforeMain = ${beforeMain}`);
  return page;
}

async function readyPage(page, query = '') {
  await page.goto(`${server.url}/index.html${query}`);
  await page.waitForFunction(() => !document.getElementById('play').disabled);
}

const outputLines = page => page.$eval('#output', e => e.textContent.split('\n'));

// The report: "Runtime error N at 0x...", further addresses, an empty line.
function expectReport(lines, number) {
  const first = ReportFirstLine.exec(lines[0] || '');
  expect(first && Number(first[1]) === number, `report's first line "${lines[0]}", wanted error ${number}`);
  const addresses = lines.slice(1).filter(line => line !== '');
  expect(addresses.length > 0 && addresses.every(line => ReportAddress.test(line)),
    `report's further lines: ${JSON.stringify(lines.slice(1))}`);
}

async function chooseFiles(page, paths) {
  const input = await page.$('#files');
  await input.uploadFile(...paths);
  await page.waitForFunction(() => !document.getElementById('own').hidden);
}

try {
  await runChecks('bad input', [
    ['a missing picture: the report on the page, "Orvane: error"', async () => {
      const page = await tab(FS => FS.unlink('g2.pcx'));
      await readyPage(page);
      await page.click('#play');
      expect(await waitForTitle(page, t => t !== 'Orvane: playing') === 'Orvane: error', await page.title());
      await page.screenshot({ path: join(out, 'missing-picture.png') });
      expectReport(await outputLines(page), 2);
      expect((await page.$eval('#status', e => e.textContent)).includes('exit code 2'), 'the exit code is not shown');
      expect(page.messages.length === 0, page.messages.join('; '));
      await page.close();
    }],
    ['a missing picture in a still: the report, "Orvane: error"', async () => {
      const page = await tab(FS => FS.unlink('created.pcx'));
      await page.goto(`${server.url}/index.html?at=1000`);
      expect(await waitForTitle(page, t => t.startsWith('Orvane: ')) === 'Orvane: error', await page.title());
      await page.screenshot({ path: join(out, 'missing-picture-still.png') });
      expectReport(await outputLines(page), 2);
      await page.close();
    }],
    ['an unreadable picture: the report with its own error number', async () => {
      const page = await tab(FS => FS.chmod('resp.pcx', 0));
      await readyPage(page);
      await page.click('#play');
      expect(await waitForTitle(page, t => t !== 'Orvane: playing') === 'Orvane: error', await page.title());
      expectReport(await outputLines(page), 13);
      await page.close();
    }],
    ['a chosen picture the browser cannot read is unreadable to the program', async () => {
      const page = await tab();
      await page.evaluateOnNewDocument(() => {
        const read = File.prototype.arrayBuffer;
        File.prototype.arrayBuffer = function () {
          return this.name === 'g0.pcx' ? Promise.reject(new Error('gone')) : read.call(this);
        };
      });
      await readyPage(page);
      writeFileSync(join(files, 'g0.pcx'), 'anything');
      await chooseFiles(page, [join(files, 'g0.pcx')]);
      expect((await page.$eval('#own', e => e.textContent)).includes('g0.pcx (unreadable)'), 'not said unreadable');
      await page.click('#play');
      expect(await waitForTitle(page, t => t !== 'Orvane: playing') === 'Orvane: error', await page.title());
      expectReport(await outputLines(page), 13);
      await page.close();
    }],
    ['a chosen cud.mod that is not a module: the two lines, then the silent show', async () => {
      const page = await tab();
      await readyPage(page);
      writeFileSync(join(files, 'cud.mod'), 'This is not a tracker module.\n'.repeat(40));
      writeFileSync(join(files, 'notes.txt'), 'not one of the show\'s files');
      await chooseFiles(page, [join(files, 'cud.mod'), join(files, 'notes.txt')]);
      const own = await page.$eval('#own', e => e.textContent);
      expect(own.includes('cud.mod') && own.includes('Not used') && own.includes('notes.txt'), own);
      await page.click('#play');
      await page.waitForFunction(() => window.orvaneFrames.length >= 30, { timeout: 20000 });
      expect(await page.title() === 'Orvane: playing', await page.title());
      const lines = await outputLines(page);
      expect(lines[0] === 'Error: Failed Song Loading...' && lines[1] === 'Unknown file format.',
        `printed ${JSON.stringify(lines)}`);
      await page.screenshot({ path: join(out, 'not-a-module.png') });
      await page.keyboard.press('Escape');
      expect(await waitForTitle(page, t => t !== 'Orvane: playing', 5000) === 'Orvane: ended', await page.title());
      expect(page.messages.length === 0, page.messages.join('; '));
      await page.close();
    }],
    ['a bad ?at= says what is wrong', async () => {
      const page = await tab();
      for (const [at, says] of [['abc', 'whole milliseconds'], ['999999', 'not inside the show']]) {
        await page.goto(`${server.url}/index.html?at=${at}`);
        expect(await waitForTitle(page, t => t.startsWith('Orvane: ')) === 'Orvane: error', `${at}: ${await page.title()}`);
        const text = await page.$eval('#output', e => e.textContent);
        expect(text.includes(says), `${at}: "${text}"`);
      }
      await page.close();
    }],
  ]);

  // A browser without WebGL.
  const blind = await launchBrowser(['--disable-webgl']);
  try {
    const page = await openTab(blind, 1000, 900);
    await runChecks('without WebGL', [
      ['one sentence and "Orvane: error", live and in a still', async () => {
        await page.goto(`${server.url}/index.html`);
        expect(await waitForTitle(page, t => t !== 'Orvane') === 'Orvane: error', await page.title());
        const said = await page.$eval('#status', e => e.textContent);
        expect(/no WebGL/.test(said), said);
        expect(await page.$eval('#play', e => e.disabled), 'Play is offered');
        await page.screenshot({ path: join(out, 'no-webgl.png') });
        await page.goto(`${server.url}/index.html?at=1000`);
        expect(await waitForTitle(page, t => t.startsWith('Orvane: ')) === 'Orvane: error', await page.title());
        expect(/no WebGL/.test(await page.$eval('#output', e => e.textContent)), 'still: no sentence');
      }],
    ]);
  } finally {
    await blind.close();
  }
} finally {
  await browser.close();
  server.close();
}
