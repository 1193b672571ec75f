// A private PulseAudio with one null sink, as tests/e2e/pulse.sh starts one,
// for a browser to play into: its runtime and home folders are temporary
// ones, so no system or user server is touched; its socket takes anonymous
// clients, so the browser needs only PULSE_SERVER.
//   const pulse = await startPulse();  pulse.server: the PULSE_SERVER value
//   await pulse.stop();
// NoSoundServer is a PULSE_SERVER that nothing listens on.
import { execFileSync, spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { endOnStop } from './engines.mjs';

export const NoSoundServer = 'unix:/nonexistent/orvane-no-sound-server';
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

export async function startPulse() {
  const dir = mkdtempSync(join(tmpdir(), 'orvane-pulse-'));
  mkdirSync(join(dir, 'run'), { mode: 0o700 });
  mkdirSync(join(dir, 'home'));
  const socket = join(dir, 'native');
  const env = { ...process.env, XDG_RUNTIME_DIR: join(dir, 'run'), HOME: join(dir, 'home') };
  delete env.PULSE_SERVER;
  const log = join(dir, 'pulse.log');
  // -n: no default script, so no sound card is looked for and an idle sink
  // is never suspended.
  const started = spawnSync('pulseaudio', ['-n', '--daemonize=yes', '--exit-idle-time=-1', '--system=false',
    '--use-pid-file=yes', `--log-target=file:${log}`,
    '-L', 'module-null-sink sink_name=nullsink rate=44100',
    '-L', `module-native-protocol-unix auth-anonymous=1 socket=${socket}`,
    '-L', 'module-always-sink'], { env, timeout: 20000 });
  const server = `unix:${socket}`;
  const pidFile = join(dir, 'run', 'pulse', 'pid');
  const forget = endOnStop(() => {
    if (existsSync(pidFile)) process.kill(Number(readFileSync(pidFile, 'utf8')));
  });
  const stop = async () => {
    forget();
    if (existsSync(pidFile)) {
      const pid = Number(readFileSync(pidFile, 'utf8'));
      try {
        process.kill(pid);
        for (let i = 0; i < 200; ++i) {
          process.kill(pid, 0);
          await sleep(50);
        }
        process.kill(pid, 'SIGKILL');
      } catch (error) {
        // gone
      }
    }
    rmSync(dir, { recursive: true, force: true });
  };
  for (let i = 0; started.status === 0 && i < 100; ++i) {
    try {
      execFileSync('pactl', ['info'], { env: { ...env, PULSE_SERVER: server }, stdio: 'ignore' });
      return { server, stop };
    } catch (error) {
      await sleep(100);
    }
  }
  const said = existsSync(log) ? readFileSync(log, 'utf8') : String(started.stderr);
  await stop();
  throw new Error(`PulseAudio did not start: ${said.slice(-2000)}`);
}
