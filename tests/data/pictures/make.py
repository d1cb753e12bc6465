#!/usr/bin/python3
# make.py -- remakes this corpus (needs imagemagick, netpbm, python3-pil): PCX pictures of every kind from
# other programs, each NAME.pcx with NAME.pam, the RGBA pixels ImageMagick and Pillow decode (where they
# differ, the one the header bears out: see docs/authoring.md), and png/TYPE.TWIN.png holding TWIN.pam's pixels.
import os, subprocess; from PIL import Image
os.chdir(os.path.dirname(os.path.abspath(__file__)))
def im(*a): return subprocess.run(['/usr/bin/convert', *a], check=True, capture_output=True).stdout
def pbm(name, src, *o): open(name, 'wb').write(subprocess.run(['ppmtopcx', *o, src], check=True, capture_output=True).stdout)
MASK = ['(', '+clone', '-fx', 'i<8?0:(j<3?0.5:1)', ')', '-alpha', 'off', '-compose', 'copy_opacity', '-composite']
im('rose:', '-crop', '21x9+20+15', '+repage', 'src.ppm'); im('src.ppm', '-threshold', '45%', 'c2.ppm')
for n in (4, 8, 16): im('src.ppm', '-dither', 'None', '-colors', str(n), 'c%d.ppm' % n)
for name, src, *o in [('k1x1_netpbm', 'c2.ppm'), ('k2x1_netpbm', 'c4.ppm', '-packed'), ('k4x1_netpbm', 'c16.ppm', '-packed'),
                      ('k1x2_netpbm', 'c4.ppm', '-planes', '2'), ('k1x3_netpbm', 'c8.ppm'), ('k1x4_netpbm', 'c16.ppm'),
                      ('k8x1_netpbm', 'c16.ppm', '-8bit'), ('k8x3_netpbm', 'src.ppm', '-24bit')]:
    pbm(name + '.pcx', src, *o)
src = Image.open('src.ppm'); src.convert('1').save('k1x1_pillow.pcx'); src.save('k8x3_pillow.pcx')
src.convert('P', palette=Image.ADAPTIVE, colors=40).save('k8x1_pillow.pcx')
im('src.ppm', '-colors', '16', '-type', 'palette', 'k8x1_magick.pcx'); im('src.ppm', '-type', 'truecolor', 'k8x3_magick.pcx')
im('src.ppm', *MASK, 'k8x4_magick.pcx'); im('src.ppm', '-colorspace', 'gray', '-type', 'palette', 'grey_8x1_magick.pcx')
im('src.ppm', '-colorspace', 'gray', *MASK, '-type', 'truecoloralpha', 'grey_8x4_magick.pcx')
def unpacked(d):  # the runs written out: encoding 0
    bpl, height, pos, out = (d[66] | d[67] << 8) * d[65], (d[10] | d[11] << 8) + 1 - (d[6] | d[7] << 8), 128, bytearray(d[:2] + b'\0' + d[3:128])
    for line in (bytearray() for _ in range(height)):
        while len(line) < bpl:  # a run (count byte, value) or one value
            n, pos = (d[pos] & 0x3F, pos + 2) if d[pos] & 0xC0 == 0xC0 else (1, pos + 1)
            line += bytes([d[pos - 1]]) * n
        out += line[:bpl]
    return bytes(out + d[pos:])
version = lambda v: lambda d: d[:1] + bytes([v]) + d[2:]
VARIANTS = {'e0_8x1_magick': ('k8x1_magick', unpacked), 'e0_1x4_netpbm': ('k1x4_netpbm', unpacked),
            'e0_8x4_magick': ('k8x4_magick', unpacked), 'v0_1x4_netpbm': ('k1x4_netpbm', version(0)),
            'v1_2x1_netpbm': ('k2x1_netpbm', version(1)), 'v2_4x1_netpbm': ('k4x1_netpbm', version(2)),
            'v3_8x3_magick': ('k8x3_magick', version(3)), 'v4_8x1_magick': ('k8x1_magick', version(4)),
            'gap_8x1_pillow': ('k8x1_pillow', lambda d: d[:-769] + bytes(range(40)) + d[-769:])}
for name, (source, how) in VARIANTS.items(): open(name + '.pcx', 'wb').write(how(open(source + '.pcx', 'rb').read()))
NEGATIVE = {'k1x1_netpbm', 'k1x1_pillow'}  # ImageMagick shows 1-bit pictures as negatives; Pillow follows the header
for name in sorted(f[:-4] for f in os.listdir('.') if f.endswith('.pcx')):
    source = VARIANTS.get(name, (name,))[0]  # a variant holds its source's pixels
    ref = {'magick': im(source + '.pcx', '-depth', '8', 'rgba:-')}  # and Pillow's, for the kinds it reads:
    try: ref['pillow'] = Image.open(source + '.pcx').convert('RGBA').tobytes()
    except OSError: pass
    assert source in NEGATIVE or len(set(ref.values())) == 1, name
    open(name + '.pam', 'wb').write(b'P7\nWIDTH 21\nHEIGHT 9\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n' + ref['pillow' if source in NEGATIVE else 'magick'])
os.makedirs('png', exist_ok=True); typed = lambda color, depth: ['-define', 'png:color-type=%d' % color, '-define', 'png:bit-depth=%d' % depth, '-define', 'png:exclude-chunk=date,time']
for name, twin, o in [('rgb8', 'k8x3_magick', typed(2, 8)), ('rgb16', 'k8x3_magick', typed(2, 16)), ('palette8', 'k8x3_magick', typed(3, 8)),
                      ('rgba8', 'k8x4_magick', typed(6, 8)), ('rgba16', 'k8x4_magick', typed(6, 16)),
                      ('rgba8interlaced', 'k8x4_magick', typed(6, 8) + ['-interlace', 'PNG']), ('grey8', 'grey_8x1_magick', typed(0, 8)),
                      ('grey16', 'grey_8x1_magick', typed(0, 16)), ('greyalpha8', 'grey_8x4_magick', typed(4, 8)),
                      ('greyalpha16', 'grey_8x4_magick', typed(4, 16))]:
    im(twin + '.pam', *(o if 'x4' in twin else ['-alpha', 'off'] + o), 'png/%s.%s.png' % (name, twin))
im('k8x1_magick.pam', '-alpha', 'off', *typed(3, 4)[2:], 'PNG8:png/palette4.k8x1_magick.png')
rgba = Image.frombytes('RGBA', (21, 9), open('k8x4_magick.pam', 'rb').read()[-4 * 21 * 9:])
colors = sorted(set(rgba.getdata()))  # a palette with an alpha for each entry (tRNS)
indexed = Image.new('P', rgba.size); indexed.putpalette([c for color in colors for c in color[:3]])
indexed.putdata([colors.index(p) for p in rgba.getdata()]); indexed.save('png/palettealpha8.k8x4_magick.png', transparency=bytes(c[3] for c in colors))
for f in ['src.ppm', 'c2.ppm', 'c4.ppm', 'c8.ppm', 'c16.ppm']: os.remove(f)
