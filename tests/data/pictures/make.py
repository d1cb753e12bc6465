#!/usr/bin/python3
# make.py -- remakes the picture corpus: PCX files of every kind written by
# ImageMagick, netpbm and Pillow (apt-get install imagemagick netpbm
# python3-pil), and for each NAME.pcx the reference decoding NAME.pam (RGBA)
# that ImageMagick and Pillow agree on.  Where they differ, or neither reads
# a file, the reference follows the file's header and the reason is listed
# in DISAGREE below and in docs/authoring.md.
import io, os, subprocess
from PIL import Image

os.chdir(os.path.dirname(os.path.abspath(__file__)))
IM = '/usr/bin/convert'
def sh(*args, out=None):
    return subprocess.run(args, check=True, capture_output=True, stdout=None).stdout if out is None else None
def im(*args):
    return subprocess.run([IM, *args], check=True, capture_output=True).stdout

im('rose:', '-crop', '21x9+20+15', '+repage', 'src.ppm')
for n in (2, 4, 8, 16):
    im('src.ppm', '-dither', 'None', '-colors', str(n), 'c%d.ppm' % n)
im('src.ppm', '-threshold', '45%', 'c2.ppm')
def pbm(name, *opts, src):
    with open(name, 'wb') as f:
        subprocess.run(['ppmtopcx', *opts, src], check=True, stdout=f, stderr=subprocess.DEVNULL)
pbm('k1x1_netpbm.pcx', src='c2.ppm')
pbm('k2x1_netpbm.pcx', '-packed', src='c4.ppm')
pbm('k4x1_netpbm.pcx', '-packed', src='c16.ppm')
pbm('k1x2_netpbm.pcx', '-planes', '2', src='c4.ppm')
pbm('k1x3_netpbm.pcx', src='c8.ppm')
pbm('k1x4_netpbm.pcx', src='c16.ppm')
pbm('k8x1_netpbm.pcx', '-8bit', src='c16.ppm')
pbm('k8x3_netpbm.pcx', '-24bit', src='src.ppm')
src = Image.open('src.ppm')
src.convert('1').save('k1x1_pillow.pcx')
src.convert('P', palette=Image.ADAPTIVE, colors=40).save('k8x1_pillow.pcx')
src.save('k8x3_pillow.pcx')
im('src.ppm', '-colors', '16', '-type', 'palette', 'k8x1_magick.pcx')
im('src.ppm', '-type', 'truecolor', 'k8x3_magick.pcx')
MASK = ['(', '+clone', '-fx', 'i<8?0:(j<3?0.5:1)', ')', '-alpha', 'off', '-compose', 'copy_opacity',
        '-composite']
im('src.ppm', *MASK, 'k8x4_magick.pcx')
im('src.ppm', '-colorspace', 'gray', '-type', 'palette', 'grey_8x1_magick.pcx')
im('src.ppm', '-colorspace', 'gray', *MASK, '-type', 'truecoloralpha', 'grey_8x4_magick.pcx')

# Variants of the files above, each decoding to its source's pixels.
def unpacked(data):
    """The same picture with its runs written out: encoding 0."""
    bpl, planes = data[66] | data[67] << 8, data[65]
    height = (data[10] | data[11] << 8) - (data[6] | data[7] << 8) + 1
    pos, out = 128, bytearray(data[:128])
    out[2] = 0
    for _ in range(height):
        line = bytearray()
        while len(line) < bpl * planes:
            c = data[pos]; pos += 1
            if c & 0xC0 == 0xC0:
                line += bytes([data[pos]]) * (c & 0x3F); pos += 1
            else:
                line.append(c)
        out += line[:bpl * planes]
    return bytes(out + data[pos:])
VARIANTS = {  # name: (source, how)
    'e0_8x1_magick.pcx': ('k8x1_magick.pcx', unpacked),
    'e0_1x4_netpbm.pcx': ('k1x4_netpbm.pcx', unpacked),
    'e0_8x4_magick.pcx': ('k8x4_magick.pcx', unpacked),
    'v0_1x4_netpbm.pcx': ('k1x4_netpbm.pcx', lambda d: d[:1] + b'\0' + d[2:]),
    'v2_4x1_netpbm.pcx': ('k4x1_netpbm.pcx', lambda d: d[:1] + b'\2' + d[2:]),
    'v3_8x3_magick.pcx': ('k8x3_magick.pcx', lambda d: d[:1] + b'\3' + d[2:]),
    'v4_8x1_magick.pcx': ('k8x1_magick.pcx', lambda d: d[:1] + b'\4' + d[2:]),
    'v1_2x1_netpbm.pcx': ('k2x1_netpbm.pcx', lambda d: d[:1] + b'\1' + d[2:]),
    'gap_8x1_pillow.pcx': ('k8x1_pillow.pcx', lambda d: d[:-769] + bytes(range(40)) + d[-769:]),
}
for name, (source, how) in VARIANTS.items():
    with open(source, 'rb') as f, open(name, 'wb') as out:
        out.write(how(f.read()))

# Where the two decoders part, and which one the header bears out.
DISAGREE = {
    'k1x1_netpbm.pcx': 'ImageMagick shows a 1-bit picture as its negative; the header palette',
    'k1x1_pillow.pcx': 'ImageMagick shows a 1-bit picture as its negative; Pillow',
    'v4_8x1_magick.pcx': 'ImageMagick ignores the end palette below version 5; the palette block',
}
def decoded(path):
    found = {}
    try:
        found['magick'] = im(path, '-depth', '8', 'rgba:-')
    except subprocess.CalledProcessError:
        pass
    try:
        found['pillow'] = Image.open(path).convert('RGBA').tobytes()
    except Exception:
        pass
    return found
for name in sorted(f for f in os.listdir('.') if f.endswith('.pcx')):
    got = decoded(name)
    size = Image.open('src.ppm').size
    source = VARIANTS.get(name, (name,))[0]
    ref = decoded(source) if source != name else got
    values = set(ref.values())
    if len(values) != 1 or name in DISAGREE:
        picked = {'pillow': ref.get('pillow'), 'magick': ref.get('magick')}
        which = 'pillow' if 'Pillow' in DISAGREE.get(name, '') or 'header' in DISAGREE.get(name, '') \
                or 'palette block' in DISAGREE.get(name, '') else 'magick'
        value = picked[which] if picked[which] is not None else next(iter(values))
        print('%-22s %s: %s' % (name, sorted(got), DISAGREE.get(name, 'UNEXPLAINED')))
    else:
        value = values.pop()
        print('%-22s %s agree' % (name, sorted(got)))
    with open(name[:-4] + '.pam', 'wb') as out:
        out.write(b'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n' % size + value)

# PNG pictures of every colour type, named TYPE.REFERENCE.png: each holds
# the pixels of tavo's decoding of the PCX picture REFERENCE.pcx.
os.makedirs('png', exist_ok=True)
def png(name, source, *opts):
    im(source + '.pam', *opts, 'png/%s.%s.png' % (name, source))
def typed(color, depth, *more):
    return ['-define', 'png:color-type=%d' % color, '-define', 'png:bit-depth=%d' % depth, *more]
for name, source, opts in [
        ('rgb8', 'k8x3_magick', ['-alpha', 'off', *typed(2, 8)]),
        ('rgb16', 'k8x3_magick', ['-alpha', 'off', *typed(2, 16)]),
        ('palette8', 'k8x3_magick', ['-alpha', 'off', *typed(3, 8)]),
        ('palette4', 'k8x1_magick', ['-alpha', 'off', '-define', 'png:bit-depth=4', 'PNG8']),
        ('rgba8', 'k8x4_magick', typed(6, 8)),
        ('rgba16', 'k8x4_magick', typed(6, 16)),
        ('rgba8interlaced', 'k8x4_magick', typed(6, 8, '-interlace', 'PNG')),
        ('grey8', 'grey_8x1_magick', ['-alpha', 'off', *typed(0, 8)]),
        ('grey16', 'grey_8x1_magick', ['-alpha', 'off', *typed(0, 16)]),
        ('greyalpha8', 'grey_8x4_magick', typed(4, 8)),
        ('greyalpha16', 'grey_8x4_magick', typed(4, 16))]:
    if opts[-1] == 'PNG8':
        im(source + '.pam', *opts[:-1], 'PNG8:png/%s.%s.png' % (name, source))
    else:
        png(name, source, *opts)
# A palette with an alpha for each entry (tRNS), which Pillow writes.
rgba = Image.frombytes('RGBA', (21, 9), open('k8x4_magick.pam', 'rb').read()[-4 * 21 * 9:])
colors = sorted(set(rgba.getdata()))
indexed = Image.new('P', rgba.size)
indexed.putpalette([c for color in colors for c in color[:3]])
indexed.putdata([colors.index(p) for p in rgba.getdata()])
indexed.save('png/palettealpha8.k8x4_magick.png', transparency=bytes(c[3] for c in colors))
for f in sorted(os.listdir('png')):
    kind = Image.open('png/' + f)
    print('%-40s %s %s' % (f, kind.mode, kind.info.get('interlace', '')))
for f in ['src.ppm', 'c2.ppm', 'c4.ppm', 'c8.ppm', 'c16.ppm']:
    os.remove(f)
