#!/usr/bin/python3
"""Makes the small pictures the picture tests open, into the folder given, at test time.

Every still is a 64 x 48 quadrant picture (top left red, top right green, bottom left blue,
bottom right white) in some format and sub-format; the orientation rows store it so that their
Exif orientation turns it upright again; the profile rows carry the profile files the test wrote
beforehand (prophoto.icc, cmyk.icc) in the same folder. Animations are 32 x 24.
Usage: make_pictures.py FOLDER
"""
import os
import struct
import subprocess
import sys
import zlib

from PIL import Image

W, H = 64, 48
RED, GREEN, BLUE, WHITE = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)


def quadrants(tl=RED, tr=GREEN, bl=BLUE, br=WHITE, mode='RGB'):
    im = Image.new(mode, (W, H))
    for (x, y, c) in ((0, 0, tl), (W // 2, 0, tr), (0, H // 2, bl), (W // 2, H // 2, br)):
        im.paste(c, (x, y, x + W // 2, y + H // 2))
    return im


# The transposition whose result Exif orientation N turns upright again (none for 1).
STORED = {1: None, 2: Image.Transpose.FLIP_LEFT_RIGHT, 3: Image.Transpose.ROTATE_180, 4: Image.Transpose.FLIP_TOP_BOTTOM,
          5: Image.Transpose.TRANSPOSE, 6: Image.Transpose.ROTATE_90, 7: Image.Transpose.TRANSVERSE,
          8: Image.Transpose.ROTATE_270}


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main(out):
    os.chdir(out)
    q = quadrants()
    q.save('rgb.png')
    q.quantize(4).save('palette.png')
    # Grey levels 64, 128, 192, 255 in the four quadrants.
    quadrants(64, 128, 192, 255, mode='L').save('grey.png')
    run('convert', 'rgb.png', '-depth', '16', 'png48:deep.png')
    # Alpha: the right half is clear (white and green turn black); the bottom left is half clear.
    rgba = q.convert('RGBA')
    rgba.paste((0, 255, 0, 0), (W // 2, 0, W, H // 2))
    rgba.paste((255, 255, 255, 0), (W // 2, H // 2, W, H))
    rgba.paste((0, 0, 255, 128), (0, H // 2, W // 2, H))
    rgba.save('alpha.png')
    rgba.save('alpha.webp', lossless=True)
    q.save('lossy.webp', quality=95)
    q.save('lossless.webp', lossless=True)
    q.save('plain.tif')
    q.save('lzw.tif', compression='tiff_lzw')
    q.save('baseline.jpg', quality=95)
    q.save('progressive.jpg', quality=95, progressive=True)
    quadrants(64, 128, 192, 255, mode='L').save('grey.jpg', quality=95)
    q.save('plain.bmp')
    q.save('plain.gif')
    run('heif-enc', '-q', '95', 'rgb.png', '-o', 'plain.heic')
    run('avifenc', '-s', '10', '--min', '0', '--max', '10', 'rgb.png', 'plain.avif')

    for n, method in STORED.items():
        stored = q.transpose(method) if method is not None else q
        exif = Image.Exif()
        exif[0x0112] = n
        for ext in ('jpg', 'png', 'webp', 'tif'):
            kw = {'quality': 95} if ext in ('jpg', 'webp') else {}
            stored.save('orientation%d.%s' % (n, ext), exif=exif if ext == 'tif' else exif.tobytes(), **kw)
    # HEIF and AVIF turn their pictures by their own boxes: a quarter anticlockwise stored as a
    # quarter clockwise.
    q.transpose(Image.Transpose.ROTATE_270).save('turned.png')
    run('avifenc', '-s', '10', '--min', '0', '--max', '10', '--irot', '1', 'turned.png', 'turned.avif')

    # The profile rows: the quadrants' values mean other colours in ProPhoto RGB.
    mid = quadrants((160, 60, 60), (60, 160, 60), (60, 60, 160), (128, 128, 128))
    icc = open('prophoto.icc', 'rb').read()
    mid.save('prophoto.jpg', quality=95, icc_profile=icc)
    mid.save('prophoto.png', icc_profile=icc)
    mid.save('prophoto.webp', lossless=True, icc_profile=icc)
    mid.save('prophoto.tif', icc_profile=icc)
    run('heif-enc', '-q', '95', 'prophoto.png', '-o', 'prophoto.heic')
    run('avifenc', '-s', '10', '--min', '0', '--max', '10', 'prophoto.png', 'prophoto.avif')
    mid.save('srgb_mid.png')

    # CMYK: full inks that give the quadrants by the plain formula; one file without a profile,
    # one with the test's profile, one as ImageMagick writes it (YCCK-free, Adobe marker).
    cmyk = quadrants((0, 255, 255, 0), (255, 0, 255, 0), (255, 255, 0, 0), (0, 0, 0, 0), mode='CMYK')
    cmyk.save('cmyk.jpg', quality=95)
    cmyk.save('cmyk_profile.jpg', quality=95, icc_profile=open('cmyk.icc', 'rb').read())
    run('convert', 'rgb.png', '-colorspace', 'CMYK', '-quality', '95', 'cmyk_magick.jpg')

    make_hostile()
    make_animations()


def patched(name, out, at, data):
    b = bytearray(open(name, 'rb').read())
    b[at:at + len(data)] = data
    open(out, 'wb').write(bytes(b))
    return b


def make_hostile():
    """Decompression bombs: each file's header claims 60000 x 60000 (webp: its largest, 16384 x
    16384) over the few bytes of the quadrant picture; and a camera jpeg whose Exif thumbnail is a
    whole jpeg of its own (its scan and end marker come before the main picture's)."""
    png = bytearray(open('rgb.png', 'rb').read())
    png[16:24] = struct.pack('>II', 60000, 60000)
    png[29:33] = struct.pack('>I', zlib.crc32(bytes(png[12:29])))
    open('bomb.png', 'wb').write(bytes(png))
    # Lossless webp: after "VP8L", its length and the 0x2F signature, width - 1 and height - 1
    # in 14 bits each.
    webp = bytearray(open('lossless.webp', 'rb').read())
    assert webp[12:16] == b'VP8L'
    bits = struct.unpack('<I', webp[21:25])[0]
    bits = (bits & ~((1 << 28) - 1)) | 16383 | (16383 << 14)
    webp[21:25] = struct.pack('<I', bits)
    open('bomb.webp', 'wb').write(bytes(webp))
    tif = Image.new('RGB', (W, H), RED)
    tif.save('bomb.tif')
    data = bytearray(open('bomb.tif', 'rb').read())
    ifd = struct.unpack('<I', data[4:8])[0]
    for e in range(struct.unpack('<H', data[ifd:ifd + 2])[0]):
        at = ifd + 2 + 12 * e
        tag, kind = struct.unpack('<HH', data[at:at + 4])
        if tag in (256, 257):  # width, length: as a long
            data[at + 2:at + 12] = struct.pack('<HII', 4, 1, 60000)
    open('bomb.tif', 'wb').write(bytes(data))
    for name in ('plain.heic', 'plain.avif'):
        b = bytearray(open(name, 'rb').read())
        at = b.find(b'ispe')
        b[at + 8:at + 16] = struct.pack('>II', 60000, 60000)
        open('bomb.' + name.split('.')[1], 'wb').write(bytes(b))

    small = Image.new('RGB', (16, 12), GREEN)
    small.save('small.jpg', quality=90)
    thumb = open('small.jpg', 'rb').read()
    # Exif: IFD0 with no entries, IFD1 naming the thumbnail's offset and length.
    tiff = b'II*\0' + struct.pack('<I', 8) + struct.pack('<HI', 0, 14)
    tiff += struct.pack('<H', 2) + struct.pack('<HHII', 0x0201, 4, 1, 14 + 2 + 24 + 4)
    tiff += struct.pack('<HHII', 0x0202, 4, 1, len(thumb)) + struct.pack('<I', 0) + thumb
    app1 = b'Exif\0\0' + tiff
    main_jpeg = open('baseline.jpg', 'rb').read()
    camera = main_jpeg[:2] + b'\xff\xe1' + struct.pack('>H', len(app1) + 2) + app1 + main_jpeg[2:]
    open('thumbnail.jpg', 'wb').write(camera)


def make_animations():
    """Three frames of 32 x 24 shown for 50, 10 (shown as 100) and 200 ms: red; its left half
    green (the encoders store only the part that changed); blue. And a file of each type with one
    frame, which stays a still."""
    red, blue = Image.new('RGB', (32, 24), RED), Image.new('RGB', (32, 24), BLUE)
    half = red.copy()
    half.paste(GREEN, (0, 0, 16, 24))
    for name, kw in (('anim.gif', {}), ('anim.png', {}), ('anim.webp', {'lossless': True})):
        red.save(name, save_all=True, append_images=[half, blue], duration=[50, 10, 200], loop=0, **kw)
    # Two frames of the values (160, 60, 60) and (60, 60, 160) in ProPhoto RGB.
    icc = open('prophoto.icc', 'rb').read()
    first, second = Image.new('RGB', (32, 24), (160, 60, 60)), Image.new('RGB', (32, 24), (60, 60, 160))
    for name, kw in (('anim_prophoto.png', {}), ('anim_prophoto.webp', {'lossless': True})):
        first.save(name, save_all=True, append_images=[second], duration=[100, 100], loop=0, icc_profile=icc, **kw)
    for name, kw in (('one.gif', {}), ('one.png', {}), ('one.webp', {'lossless': True})):
        red.save(name, save_all=True, append_images=[], duration=[50], loop=0, **kw)


if __name__ == '__main__':
    main(sys.argv[1])
