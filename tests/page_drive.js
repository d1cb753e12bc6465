// page_drive.js -- flies and turns the view of a tavo --export page in headless
// Chromium, through the browser's debugging pipe, and saves a picture after each:
//   node page_drive.js CHROMIUM PAGE.html OUT_FOLDER
// writes start.png, flown.png (w held) and turned.png (a drag); exits 77 when
// Chromium cannot start, 1 when the page never shows the world.
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');

const [browser, page, out] = process.argv.slice(2);
// Its profile and temporary files go in a folder of a short path (its
// sockets' names must fit), removed once it has ended.
const profile = fs.mkdtempSync('/tmp/tavo-chromium-');
const chrome = spawn(browser, ['--headless', '--no-sandbox', '--no-first-run', '--user-data-dir=' + profile,
    '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--hide-scrollbars', '--window-size=640,480',
    '--remote-debugging-pipe', 'about:blank'], {
    stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'],
    env: { ...process.env, TMPDIR: profile },  // what it leaves goes with the profile
});
// Ends once Chromium has: its profile is removed after it stops writing.
let status = null;
function finish() {
    fs.rmSync(profile, { recursive: true, force: true });
    process.exit(status);
}
function end(code, why) {
    if (status !== null)
        return;
    status = code;
    if (why)
        console.log(why);
    chrome.kill();
}
const deadline = setTimeout(() => end(1, 'page_drive: no answer within 90 s'), 90000);
chrome.on('error', () => {
    end(77, 'page_drive: Chromium cannot start here');
    finish();
});
chrome.on('exit', () => {
    end(77, 'page_drive: Chromium ended early');
    finish();
});

for (const pipe of [chrome.stdio[3], chrome.stdio[4]])
    pipe.on('error', () => end(77, 'page_drive: Chromium ended early'));

// Messages are JSON, each ended by a NUL byte.
let id = 0, heard = '';
const waiting = new Map();
chrome.stdio[4].on('data', (bytes) => {
    heard += bytes.toString('utf8');
    for (let at; (at = heard.indexOf('\0')) >= 0;) {
        const m = JSON.parse(heard.slice(0, at));
        heard = heard.slice(at + 1);
        if (waiting.has(m.id)) {
            waiting.get(m.id)(m);
            waiting.delete(m.id);
        }
    }
});
let session;
function call(method, params = {}) {
    return new Promise((resolve) => {
        waiting.set(++id, resolve);
        chrome.stdio[3].write(JSON.stringify({ id, method, params, sessionId: session }) + '\0');
    });
}
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
async function shot(name) {
    const r = await call('Page.captureScreenshot', { format: 'png' });
    fs.writeFileSync(path.join(out, name), Buffer.from(r.result.data, 'base64'));
}
const key = (type) => call('Input.dispatchKeyEvent', { type, key: 'w', code: 'KeyW', windowsVirtualKeyCode: 87 });
const mouse = (type, x) => call('Input.dispatchMouseEvent', { type, x, y: 240, button: 'left', buttons: type === 'mouseReleased' ? 0 : 1, clickCount: 1 });

(async () => {
    const target = await call('Target.createTarget', { url: 'file://' + path.resolve(page) + '#bare' });
    session = (await call('Target.attachToTarget', { targetId: target.result.targetId, flatten: true })).result.sessionId;
    for (let ready = false; !ready; await sleep(100)) {
        const r = await call('Runtime.evaluate', { expression: 'document.body && document.body.dataset.ready' });
        ready = r.result && r.result.result && r.result.result.value === 'yes';
    }
    await sleep(300);  // a few frames drawn
    await shot('start.png');
    await key('keyDown');
    await sleep(700);
    await key('keyUp');
    await sleep(300);
    await shot('flown.png');
    await mouse('mousePressed', 320);
    for (let x = 330; x <= 440; x += 10) {
        await mouse('mouseMoved', x);
        await sleep(15);
    }
    await mouse('mouseReleased', 440);
    await sleep(300);
    await shot('turned.png');
    clearTimeout(deadline);
    end(0);
})();
