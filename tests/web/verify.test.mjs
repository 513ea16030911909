// The same rounds give the same results on every build: the golden replays, recorded by the
// desktop game, verify in the WebAssembly build (its headless verifier under Node) with the same
// status and score lines as the desktop's own verifier prints, and a file that is no replay is
// refused by both alike.
//
// SPINDRIFT_WASM_VERIFIER names the WebAssembly verifier (build/web-cmake/bin/spindrift-verify.js),
// SPINDRIFT_DESKTOP the desktop program (build/release/bin/spindrift).
import {test} from 'node:test';
import assert from 'node:assert/strict';
import {spawnSync} from 'node:child_process';
import {mkdtempSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {dirname, join} from 'node:path';
import {fileURLToPath} from 'node:url';

const wasmVerifier = process.env.SPINDRIFT_WASM_VERIFIER;
const desktop = process.env.SPINDRIFT_DESKTOP;
const goldenDir = join(dirname(fileURLToPath(import.meta.url)), '..', 'game', 'replays');

// Exit status and output (standard output, then standard error) of one verification.
function verify(program, file) {
  // Node's own fetch would make this Emscripten load its module over the network.
  const [command, args] = program.endsWith('.js')
      ? [process.execPath, ['--no-experimental-fetch', program, '--verify-replay', file]]
      : [program, ['--verify-replay', file]];
  const env = {...process.env};
  delete env.DISPLAY;
  const run = spawnSync(command, args, {encoding: 'utf8', env, timeout: 120_000});
  // Emscripten's fixed-function GL emulation, linked in with the game's graphics device, announces
  // itself on standard error as the module loads; the verifier never makes a GL context.
  const stderr = run.stderr.split('\n').filter(line => !line.startsWith('WARNING: using emscripten GL emulation'));
  return {status: run.status, output: run.stdout + stderr.join('\n')};
}

for (const difficulty of [1, 2, 3]) {
  test(`the golden round of difficulty ${difficulty} verifies in the WebAssembly build`, () => {
    const file = join(goldenDir, `golden-${difficulty}.replay`);
    const onDesktop = verify(desktop, file);
    const inWasm = verify(wasmVerifier, file);
    assert.equal(onDesktop.status, 0, onDesktop.output);
    assert.deepEqual(inWasm, onDesktop);
  });
}

test('a file that is no replay is refused alike', () => {
  const file = join(mkdtempSync(join(tmpdir(), 'spindrift-')), 'garbled.replay');
  writeFileSync(file, 'SPDRPLAY but nothing after');
  const onDesktop = verify(desktop, file);
  assert.equal(onDesktop.status, 2, onDesktop.output);
  assert.deepEqual(verify(wasmVerifier, file), onDesktop);
});
