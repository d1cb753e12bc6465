// page_pixels.js -- compares two PNG pictures of the same size pixel for pixel.
//   node page_pixels.js A.png B.png   prints the share of pixels whose colour
//                                     differs by more than 10 % in any channel
// Reads 8-bit RGB and RGBA pictures without interlacing, as tavo --shot and
// Chromium write them.
'use strict';
const fs = require('fs');
const zlib = require('zlib');

function decode(path) {
    const bytes = fs.readFileSync(path);
    let width = 0, height = 0, channels = 0;
    const data = [];
    for (let at = 8; at < bytes.length;) {
        const length = bytes.readUInt32BE(at);
        const type = bytes.toString('latin1', at + 4, at + 8);
        const body = bytes.subarray(at + 8, at + 8 + length);
        if (type === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            const kinds = { 2: 3, 6: 4 };
            if (body[8] !== 8 || !kinds[body[9]] || body[12] !== 0)
                throw new Error(path + ': not an 8-bit RGB or RGBA picture without interlacing');
            channels = kinds[body[9]];
        } else if (type === 'IDAT') {
            data.push(body);
        }
        at += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(data));
    const stride = width * channels;
    const pixels = Buffer.alloc(stride * height);
    for (let y = 0; y < height; y++) {
        const filter = raw[y * (stride + 1)];
        const row = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
        for (let x = 0; x < stride; x++) {
            const a = x >= channels ? pixels[y * stride + x - channels] : 0;
            const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
            const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
            const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
            const predict = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
            pixels[y * stride + x] = (row[x] + predict) & 255;
        }
    }
    return { width, height, channels, pixels };
}

const [a, b] = process.argv.slice(2).map(decode);
if (a.width !== b.width || a.height !== b.height) {
    console.log(`sizes differ: ${a.width}x${a.height} and ${b.width}x${b.height}`);
    process.exit(1);
}
let differ = 0;
for (let i = 0; i < a.width * a.height; i++)
    for (let k = 0; k < 3; k++)
        if (Math.abs(a.pixels[i * a.channels + k] - b.pixels[i * b.channels + k]) > 25.5) {
            differ++;
            break;
        }
const share = 100 * differ / (a.width * a.height);
console.log(`${share.toFixed(2)} % of pixels differ by more than 10 %`);
