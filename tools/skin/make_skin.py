#!/usr/bin/python3
"""Generates the skin images of the setup window and the program icon.

Everything is drawn from the description in this file (the image tables
SINGLE and LOCALISED, and the TEXT table); nothing is read but Debian's
fonts.  Output, relative
to the repository root:

  res/skin/<id>.png           the 105 PNG resources of type "PNG"
  res/skin.rc                 one resource line per image
  res/setup.ico               the program icon (16, 24, 32, 48 and 256 pixels)
  tools/skin/skin_table.tsv   id, size and PNG form of every image

The output is byte-for-byte reproducible: the PNG and ICO files are written
by the small encoders below (only IHDR, PLTE, tRNS, IDAT and IEND; zlib
level 9; a fixed filter heuristic), and the drawing is deterministic (no
randomness, no clock).  Run it with Debian's /usr/bin/python3 and python3-pil (Pillow
9.4, FreeType 2.12, libraqm) so that glyph rendering is the same as for the
committed files.

Usage:  tools/skin/make_skin.py [--out ROOT] [--check]
  --out ROOT  write below ROOT instead of the repository root
  --check     generate into a temporary folder and compare with the
              committed files; exit status 1 when anything differs
"""

import argparse
import filecmp
import math
import os
import struct
import sys
import tempfile
import zlib

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))

# --------------------------------------------------------------------------
# Languages: code, resource id offset, font family.
# The offset is what the program adds to a base id for the user's UI
# language (1040 Italian +3, 1036 French +4, 1041 Japanese +5, 1031 German
# +8, 1028 Chinese Traditional +9; anything else uses the English base id).

LANGUAGES = [
    ('en', 0, 'latin'),
    ('it', 3, 'latin'),
    ('fr', 4, 'latin'),
    ('ja', 5, 'ja'),
    ('de', 8, 'latin'),
    ('zh', 9, 'zh'),
]

PRODUCT = 'Talvenor'
MAKER = 'Quorvane'

# --------------------------------------------------------------------------
# Texts shown in the localised images.

TEXT = {
    'install': {
        'en': 'Install', 'it': 'Installa', 'fr': 'Installer',
        'ja': 'インストール', 'de': 'Installieren', 'zh': '安裝',
    },
    'start': {
        'en': 'Start Now', 'it': 'Avvia ora', 'fr': 'Démarrer',
        'ja': '今すぐ起動', 'de': 'Jetzt starten', 'zh': '立即啟動',
    },
    'browse': {
        'en': 'Browse...', 'it': 'Sfoglia...', 'fr': 'Parcourir...',
        'ja': '参照...', 'de': 'Durchsuchen...', 'zh': '瀏覽...',
    },
    'hide': {
        'en': 'Hide', 'it': 'Nascondi', 'fr': 'Masquer',
        'ja': '非表示', 'de': 'Ausblenden', 'zh': '隱藏',
    },
    'customize': {
        'en': 'Customize Installation', 'it': 'Personalizza installazione',
        'fr': 'Personnaliser l’installation', 'ja': 'カスタムインストール',
        'de': 'Installation anpassen', 'zh': '自訂安裝',
    },
    # The agreement sentence as runs of plain text and link text, in the
    # word order of each language.
    'licence': {
        'en': [('I’ve read and agreed to the ', 0), ('License Agreement', 1)],
        'it': [('Ho letto e accetto il ', 0), ('Contratto di licenza', 1)],
        'fr': [('J’ai lu et j’accepte le ', 0), ('contrat de licence', 1)],
        'ja': [('使用許諾契約書', 1), ('を読み、同意しました', 0)],
        'de': [('Ich habe die ', 0), ('Lizenzvereinbarung', 1),
               (' gelesen und stimme zu', 0)],
        'zh': [('我已閱讀並同意', 0), ('授權合約', 1)],
    },
    # The English installing page shows one banner three times.
    'banner': {
        'en': ('Talvenor', 'Protection that stays out of your way.',
               ['Secure', 'Lightweight', 'Always up to date']),
    },
    # The localised installing pages show three slides: title, caption.
    # A caption is set on one line if it fits, else on two balanced lines;
    # "\n" fixes the break where the language wants it at a given place.
    'slide1': {
        'it': ('Proteggi ciò che conta',
               'Talvenor protegge i tuoi file giorno e notte.'),
        'fr': ('Protégez l’essentiel',
               'Talvenor protège vos fichiers jour et nuit.'),
        'ja': ('大切なものを守る',
               'Talvenor があなたのファイルを\n24 時間守ります。'),
        'de': ('Schützen, was zählt',
               'Talvenor schützt Ihre Dateien rund um die Uhr.'),
        'zh': ('守護重要的一切', 'Talvenor 全天候保護您的檔案。'),
    },
    'slide2': {
        'it': ('Leggero e veloce',
               'Lavora in silenzio senza rallentare il computer.'),
        'fr': ('Léger et rapide',
               'Travaille en silence sans ralentir votre ordinateur.'),
        'ja': ('軽くて速い',
               'バックグラウンドで静かに動作し、\nパソコンを遅くしません。'),
        'de': ('Leicht und schnell',
               'Arbeitet unauffällig im Hintergrund, ohne zu bremsen.'),
        'zh': ('輕巧快速', '在背景安靜執行，不拖慢您的電腦。'),
    },
    'slide3': {
        'it': ('Sempre aggiornato',
               'La nuova protezione arriva automaticamente.'),
        'fr': ('Toujours à jour',
               'Les nouvelles protections arrivent automatiquement.'),
        'ja': ('いつも最新', '最新の保護が自動的に届きます。'),
        'de': ('Immer aktuell', 'Neuer Schutz kommt automatisch.'),
        'zh': ('隨時保持最新', '最新防護會自動送達。'),
    },
}

# --------------------------------------------------------------------------
# Colours.

BLUE = (64, 136, 255)            # brand blue, also the progress bar fill
BLUE_HOVER = (104, 162, 255)
BLUE_PRESSED = (38, 106, 222)
BLUE_TEXT = (36, 110, 232)       # blue used for text on white
BLUE_PALE = (214, 230, 255)
NAVY = (22, 44, 86)
SLATE = (84, 98, 122)
WHITE = (255, 255, 255)
TEXT_DARK = (68, 68, 68)
TEXT_MID = (96, 96, 96)
FRAME_GREY = (200, 200, 200)
CROSS_GREY = (128, 128, 128)
BAR_DARK = (64, 64, 64)
BOX_GREY = (160, 160, 160)

# --------------------------------------------------------------------------
# PNG forms.  Each image names one; the encoder checks that the picture
# really fits the form (grey pictures, colour counts, opacity).
#
#   form         colour type  bit depth  tRNS
#   rgba         6            8          -
#   rgb          2            8          no
#   rgb_trns     2            8          one key colour
#   grey         0            8          no
#   grey_trns    0            8          one key grey
#   grey_alpha   4            8          -
#   pal4         3            4          no
#   pal4_trns    3            4          alpha per palette entry
#   pal8         3            8          no
#   pal8_trns    3            8          alpha per palette entry

FORMS = {
    'rgba': (6, 8, False),
    'rgb': (2, 8, False),
    'rgb_trns': (2, 8, True),
    'grey': (0, 8, False),
    'grey_trns': (0, 8, True),
    'grey_alpha': (4, 8, False),
    'pal4': (3, 4, False),
    'pal4_trns': (3, 4, True),
    'pal8': (3, 8, False),
    'pal8_trns': (3, 8, True),
}


# ==========================================================================
# PNG and ICO encoders

PNG_SIGNATURE = b'\x89PNG\r\n\x1a\n'
_SIGNED_ABS = bytes(min(v, 256 - v) for v in range(256))


def _chunk(tag, data):
    return (struct.pack('>I', len(data)) + tag + data +
            struct.pack('>I', zlib.crc32(tag + data) & 0xFFFFFFFF))


def _bytes_sub(a, b):
    """Byte-wise (a - b) mod 256 of two equally long byte strings."""
    n = len(a)
    high = int.from_bytes(b'\x80' * n, 'big')
    ones = (1 << (8 * n)) - 1
    x = int.from_bytes(a, 'big')
    y = int.from_bytes(b, 'big')
    return (((x | high) - (y & (ones ^ high))) ^
            ((x ^ (ones ^ y)) & high)).to_bytes(n, 'big')


def _bytes_avg(a, b):
    """Byte-wise floor((a + b) / 2)."""
    n = len(a)
    low7 = int.from_bytes(b'\xfe' * n, 'big')
    x = int.from_bytes(a, 'big')
    y = int.from_bytes(b, 'big')
    return ((x & y) + (((x ^ y) & low7) >> 1)).to_bytes(n, 'big')


def _paeth(cur, prev, bpp):
    out = bytearray(len(cur))
    for i in range(len(cur)):
        a = cur[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        p = a + b - c
        pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
        pred = a if (pa <= pb and pa <= pc) else (b if pb <= pc else c)
        out[i] = (cur[i] - pred) & 255
    return bytes(out)


def _filter_rows(rows, bpp, adaptive):
    """Filters the scanlines: type 0 everywhere for palette and sub-byte
    images, otherwise per row the filter with the smallest sum of absolute
    signed bytes (the usual heuristic)."""
    out = []
    prev = bytes(len(rows[0])) if rows else b''
    for cur in rows:
        if not adaptive:
            out.append(b'\x00' + cur)
            continue
        left = bytes(bpp) + cur[:-bpp]
        cands = [
            cur,
            _bytes_sub(cur, left),
            _bytes_sub(cur, prev),
            _bytes_sub(cur, _bytes_avg(left, prev)),
            _paeth(cur, prev, bpp),
        ]
        best = min(range(5), key=lambda k: (sum(cands[k].translate(_SIGNED_ABS)), k))
        out.append(bytes([best]) + cands[best])
        prev = cur
    return b''.join(out)


def encode_png(width, height, color_type, bit_depth, rows,
               palette=None, trns=None):
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[color_type]
    bpp = max(1, channels * bit_depth // 8)
    adaptive = color_type != 3 and bit_depth >= 8
    data = _filter_rows(rows, bpp, adaptive)
    out = [PNG_SIGNATURE,
           _chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, bit_depth,
                                       color_type, 0, 0, 0))]
    if palette is not None:
        out.append(_chunk(b'PLTE', b''.join(bytes(c) for c in palette)))
    if trns is not None:
        out.append(_chunk(b'tRNS', trns))
    comp = zlib.compressobj(9, zlib.DEFLATED, 15, 9, zlib.Z_DEFAULT_STRATEGY)
    out.append(_chunk(b'IDAT', comp.compress(data) + comp.flush()))
    out.append(_chunk(b'IEND', b''))
    return b''.join(out)


def _over(rgba, matte):
    """Composites a straight-alpha RGBA image over an opaque matte colour."""
    base = Image.new('RGBA', rgba.size, matte + (255,))
    return Image.alpha_composite(base, rgba).convert('RGB')


def _fill_clear(img):
    """Gives fully transparent pixels the alpha-weighted mean colour of the
    visible ones instead of black, so that a scaler that interpolates
    without premultiplying does not pull dark fringes into the edges."""
    px = list(img.getdata())
    total = sum(p[3] for p in px)
    if total == 0:
        return img
    mean = tuple((sum(p[k] * p[3] for p in px) + total // 2) // total for k in range(3))
    out = Image.new('RGBA', img.size)
    out.putdata([p if p[3] else mean + (0,) for p in px])
    return out


def _is_grey(rgb):
    r, g, b = rgb.split()
    return r.tobytes() == g.tobytes() == b.tobytes()


def png_from_image(img, form, matte=WHITE, key=None):
    """Encodes an RGBA picture in the given PNG form.

    Forms without an alpha channel or tRNS are composited over `matte`.
    The key-colour forms make pixels below half coverage transparent and
    composite the rest over `matte`; `key` is the transparent value.
    Palette forms need a picture with few enough colours; the painters make
    sure of that by quantising their coverage masks."""
    color_type, depth, with_trns = FORMS[form]
    w, h = img.size
    img = _fill_clear(img.convert('RGBA'))
    alpha = img.getchannel('A')

    if form == 'rgba':
        rows = [img.tobytes()[y * w * 4:(y + 1) * w * 4] for y in range(h)]
        return encode_png(w, h, 6, 8, rows)

    if form == 'grey_alpha':
        rgb = img.convert('RGB')
        if not _is_grey(rgb):
            raise ValueError('grey_alpha picture is not grey')
        la = Image.merge('LA', (rgb.getchannel('R'), alpha))
        raw = la.tobytes()
        return encode_png(w, h, 4, 8, [raw[y * w * 2:(y + 1) * w * 2] for y in range(h)])

    if form in ('rgb', 'grey', 'rgb_trns', 'grey_trns'):
        flat = _over(img, matte)
        if form in ('grey', 'grey_trns') and not _is_grey(flat):
            raise ValueError(form + ' picture is not grey')
        trns = None
        if with_trns:
            hole = alpha.point(lambda v: 255 if v < 128 else 0)
            if tuple(key) != tuple(matte) and any(
                    c == tuple(key) and not t
                    for c, t in zip(flat.getdata(), hole.getdata())):
                raise ValueError('key colour %s is used by the picture' % (key,))
            keyed = Image.new('RGB', (w, h), key)
            flat = Image.composite(keyed, flat, hole)
            if form == 'grey_trns':
                trns = struct.pack('>H', key[0])
            else:
                trns = struct.pack('>HHH', *key)
        if form in ('grey', 'grey_trns'):
            raw = flat.getchannel('R').tobytes()
            rows = [raw[y * w:(y + 1) * w] for y in range(h)]
            return encode_png(w, h, 0, 8, rows, trns=trns)
        raw = flat.tobytes()
        rows = [raw[y * w * 3:(y + 1) * w * 3] for y in range(h)]
        return encode_png(w, h, 2, 8, rows, trns=trns)

    # Palette forms.
    if not with_trns:
        img = _over(img, matte).convert('RGBA')
    px = list(img.getdata())
    counts = {}
    for p in px:
        counts[p] = counts.get(p, 0) + 1
    limit = 1 << depth
    if len(counts) > limit:
        raise ValueError('%s picture has %d colours' % (form, len(counts)))
    # Translucent entries first so that tRNS stays short; then by use.
    entries = sorted(counts, key=lambda p: (p[3] == 255, -counts[p], p))
    index = {p: i for i, p in enumerate(entries)}
    palette = [p[:3] for p in entries]
    trns = None
    if with_trns:
        n = sum(1 for p in entries if p[3] < 255)
        if n == 0:
            raise ValueError(form + ' picture has no transparency')
        trns = bytes(p[3] for p in entries[:n])
    rows = []
    for y in range(h):
        line = [index[p] for p in px[y * w:(y + 1) * w]]
        if depth == 8:
            rows.append(bytes(line))
        else:
            if len(line) % 2:
                line.append(0)
            rows.append(bytes((line[i] << 4) | line[i + 1]
                              for i in range(0, len(line), 2)))
    return encode_png(w, h, 3, depth, rows, palette=palette, trns=trns)


def encode_ico(images):
    """images: list of (size, RGBA image).  Sizes below 256 are stored as
    32-bit DIBs with an AND mask, 256 as PNG."""
    blobs = []
    for size, img in images:
        if size >= 256:
            w, h = img.size
            raw = img.tobytes()
            blobs.append(encode_png(w, h, 6, 8,
                                    [raw[y * w * 4:(y + 1) * w * 4] for y in range(h)]))
            continue
        w, h = img.size
        header = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        pixels = img.load()
        xor = bytearray()
        for y in range(h - 1, -1, -1):
            for x in range(w):
                r, g, b, a = pixels[x, y]
                xor += bytes((b, g, r, a))
        stride = ((w + 31) // 32) * 4
        mask = bytearray()
        for y in range(h - 1, -1, -1):
            row = bytearray(stride)
            for x in range(w):
                if pixels[x, y][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        blobs.append(header + bytes(xor) + bytes(mask))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, _), blob in zip(images, blobs):
        dim = 0 if size >= 256 else size
        out += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b''.join(blobs)


# ==========================================================================
# Fonts and text

DEJAVU = '/usr/share/fonts/truetype/dejavu/'
NOTO_CJK = '/usr/share/fonts/opentype/noto/'

FONT_FILES = {
    ('latin', False): (DEJAVU + 'DejaVuSans.ttf', None),
    ('latin', True): (DEJAVU + 'DejaVuSans-Bold.ttf', None),
    ('ja', False): (NOTO_CJK + 'NotoSansCJK-Regular.ttc', 'Noto Sans CJK JP'),
    ('ja', True): (NOTO_CJK + 'NotoSansCJK-Bold.ttc', 'Noto Sans CJK JP'),
    ('zh', False): (NOTO_CJK + 'NotoSansCJK-Regular.ttc', 'Noto Sans CJK TC'),
    ('zh', True): (NOTO_CJK + 'NotoSansCJK-Bold.ttc', 'Noto Sans CJK TC'),
}

try:
    LAYOUT = ImageFont.Layout.RAQM
    ImageFont.truetype(FONT_FILES[('latin', False)][0], 10, layout_engine=LAYOUT)
except Exception:  # pragma: no cover - only without libraqm
    LAYOUT = ImageFont.Layout.BASIC
    print('warning: libraqm not available, text layout differs from the '
          'committed images', file=sys.stderr)

_font_cache = {}
_face_index = {}


def family_of(lang):
    for code, _, family in LANGUAGES:
        if code == lang:
            return family
    raise KeyError(lang)


def font(family, bold, px):
    key = (family, bold, px)
    if key not in _font_cache:
        path, face = FONT_FILES[(family, bold)]
        index = 0
        if face is not None:
            if (path, face) not in _face_index:
                for i in range(16):
                    f = ImageFont.truetype(path, 12, index=i)
                    if f.getname()[0] == face:
                        _face_index[(path, face)] = i
                        break
                else:
                    raise RuntimeError('no face %r in %s' % (face, path))
            index = _face_index[(path, face)]
        _font_cache[key] = ImageFont.truetype(path, px, index=index,
                                              layout_engine=LAYOUT)
    return _font_cache[key]


def ink_box(fnt, text):
    """Exact ink extents of text drawn with its baseline origin at (0, 0):
    (left, top, right, bottom), right and bottom exclusive."""
    l, t, r, b = fnt.getbbox(text, anchor='ls')
    pad = 4
    w, h = r - l + 2 * pad, b - t + 2 * pad
    m = Image.new('L', (max(w, 1), max(h, 1)), 0)
    ImageDraw.Draw(m).text((pad - l, pad - t), text, font=fnt, fill=255, anchor='ls')
    box = m.getbbox()
    if box is None:
        return (0, 0, 0, 0)
    return (box[0] - (pad - l), box[1] - (pad - t),
            box[2] - (pad - l), box[3] - (pad - t))


def band_of(fnt, family):
    """The vertical band that is centred in a line: cap height for Latin,
    the ideograph body for CJK.  (top, bottom) relative to the baseline."""
    ref = 'H' if family == 'latin' else '中'
    _, t, _, b = ink_box(fnt, ref)
    return t, b


class Line:
    """One line of runs [(text, colour, underline)] in one font, placed by
    integer baseline origin so that hinted glyphs stay crisp."""

    def __init__(self, runs, family, bold, px):
        self.runs = runs
        self.family = family
        self.fnt = font(family, bold, px)
        self.px = px
        self.advance = 0.0
        self.offsets = []
        left, top, right, bottom = None, None, None, None
        for text, _, underline in runs:
            x0 = self.advance
            self.offsets.append(x0)
            il, it, ir, ib = ink_box(self.fnt, text)
            if ir > il:
                left = x0 + il if left is None else min(left, x0 + il)
                right = x0 + ir if right is None else max(right, x0 + ir)
                top = it if top is None else min(top, it)
                bottom = ib if bottom is None else max(bottom, ib)
            if underline:
                bottom = max(bottom or 0, self.underline_y() + 1)
            self.advance += self.fnt.getlength(text)
        self.ink = (math.floor(left or 0), top or 0, math.ceil(right or 0), bottom or 0)
        self.band = band_of(self.fnt, family)

    @property
    def width(self):
        return self.ink[2] - self.ink[0]

    def underline_y(self):
        """Row of the underline relative to the baseline: just under the
        baseline for Latin (descenders cross it), under the ideograph body
        for CJK."""
        _, body_bottom = band_of(self.fnt, self.family)
        return max(1, round(self.px * 0.1), body_bottom + 1)

    def baseline_for(self, centre, top_limit, bottom_limit):
        """Baseline that centres the band on `centre`, moved so that all ink
        lies in [top_limit, bottom_limit); None if it cannot fit."""
        if self.ink[3] - self.ink[1] > bottom_limit - top_limit:
            return None
        bt, bb = self.band
        base = round(centre - (bt + bb) / 2.0)
        base = max(base, top_limit - self.ink[1])
        base = min(base, bottom_limit - self.ink[3])
        return base

    def draw(self, canvas, x, base):
        """Draws with the ink's left edge at canvas pixel x."""
        ox = x - self.ink[0]
        for (text, colour, underline), off in zip(self.runs, self.offsets):
            m = Image.new('L', canvas.size, 0)
            d = ImageDraw.Draw(m)
            d.text((round(ox + off), base), text, font=self.fnt, fill=255, anchor='ls')
            if underline:
                y = base + self.underline_y()
                x0 = round(ox + off)
                x1 = round(ox + off + self.fnt.getlength(text.rstrip()))
                d.rectangle([x0, y, x1 - 1, y], fill=255)
            canvas.fill_mask(m, colour)


def fit_line(runs, family, bold, sizes, max_width, centre, top_limit, bottom_limit):
    """The largest size of `sizes` (descending) at which the line fits."""
    for px in sizes:
        line = Line(runs, family, bold, px)
        if line.width > max_width:
            continue
        base = line.baseline_for(centre, top_limit, bottom_limit)
        if base is not None:
            return line, base
    raise ValueError('text does not fit: %r' % (runs,))


def wrap_words(text, family):
    """Break opportunities: words for Latin, characters for CJK (Latin runs
    and digits kept whole, closing punctuation kept with what precedes)."""
    if family == 'latin':
        words = text.split(' ')
        return [w + ' ' for w in words[:-1]] + [words[-1]]
    tokens = []
    for ch in text:
        if tokens and (ch in '、。，．！？」』）' or
                       (ch.isascii() and ch != ' ' and tokens[-1][-1].isascii()
                        and tokens[-1][-1] != ' ')):
            tokens[-1] += ch
        else:
            tokens.append(ch)
    return tokens


def caption_lines(text, family, bold, sizes, max_width, one_line_min):
    """Lays out a caption: explicit lines if it has line breaks, else one
    line at a size of at least one_line_min, else two lines of about equal
    length.  Returns (px, lines)."""
    def fits(px, lines):
        f = font(family, bold, px)
        return all(f.getlength(t) <= max_width for t in lines)

    if '\n' in text:
        lines = text.split('\n')
        for px in sizes:
            if fits(px, lines):
                return px, lines
        raise ValueError('caption does not fit: %r' % text)
    for px in sizes:
        if px >= one_line_min and fits(px, [text]):
            return px, [text]
    tokens = wrap_words(text, family)
    for px in sizes:
        f = font(family, bold, px)
        best = None
        for k in range(1, len(tokens)):
            pair = [''.join(tokens[:k]).strip(), ''.join(tokens[k:]).strip()]
            widest = max(f.getlength(t) for t in pair)
            if widest <= max_width and (best is None or widest < best[0]):
                best = (widest, pair)
        if best:
            return px, best[1]
    raise ValueError('caption does not fit: %r' % text)


# ==========================================================================
# Drawing

class Canvas:
    """A straight-alpha RGBA picture drawn in design units.

    Design unit u maps to `unit` canvas pixels.  Shapes are rasterised at
    `aa` times the canvas resolution and box-filtered down, which gives
    exact-coverage anti-aliasing.  With `levels`, every coverage mask is
    quantised to that many steps so that palette pictures stay small."""

    def __init__(self, w, h, unit=1, aa=8, bg=(0, 0, 0, 0), levels=None):
        self.unit = unit
        self.aa = aa
        self.size = (round(w * unit), round(h * unit))
        self.img = Image.new('RGBA', self.size, bg)
        self.levels = levels

    def _quantise(self, m):
        if not self.levels:
            return m
        n = self.levels - 1
        return m.point(lambda v: round(round(v * n / 255.0) * 255.0 / n))

    def fill_mask(self, mask, paint, opacity=1.0):
        mask = self._quantise(mask)
        if opacity != 1.0:
            mask = mask.point(lambda v: round(v * opacity))
        if isinstance(paint, Image.Image):
            layer = paint.convert('RGBA')
            layer.putalpha(mask)
        else:
            layer = Image.new('RGBA', self.size, tuple(paint[:3]) + (255,))
            layer.putalpha(mask)
        self.img = Image.alpha_composite(self.img, layer)

    def shape(self, draw_fn):
        """Coverage mask of what draw_fn(pen) draws with value 255 (and
        erases with value 0)."""
        s = self.unit * self.aa
        m = Image.new('L', (self.size[0] * self.aa, self.size[1] * self.aa), 0)
        draw_fn(Pen(ImageDraw.Draw(m), s))
        return m.resize(self.size, Image.Resampling.BOX)

    def draw(self, draw_fn, paint, opacity=1.0):
        self.fill_mask(self.shape(draw_fn), paint, opacity)

    def gradient(self, c0, c1, vertical=True):
        g = Image.linear_gradient('L')
        if not vertical:
            g = g.rotate(90, expand=True).transpose(Image.Transpose.FLIP_LEFT_RIGHT)
        g = g.resize(self.size, Image.Resampling.BILINEAR)
        return Image.composite(Image.new('RGB', self.size, c1),
                               Image.new('RGB', self.size, c0), g)

    def text(self, line, x, base):
        """Draws a Line laid out at canvas pixels; x and base in design
        units."""
        line.draw(self, round(x * self.unit), round(base * self.unit))


class Pen:
    """Drawing in continuous design coordinates on a supersampled mask.
    A pixel covers [i, i + 1); Pillow puts pixel centres on integers."""

    def __init__(self, draw, scale):
        self.d = draw
        self.s = scale

    def _p(self, x, y):
        return (x * self.s - 0.5, y * self.s - 0.5)

    def rect(self, x0, y0, x1, y1, value=255):
        s = self.s
        self.d.rectangle([round(x0 * s), round(y0 * s),
                          round(x1 * s) - 1, round(y1 * s) - 1], fill=value)

    def rrect(self, x0, y0, x1, y1, r, value=255):
        s = self.s
        self.d.rounded_rectangle([round(x0 * s), round(y0 * s),
                                  round(x1 * s) - 1, round(y1 * s) - 1],
                                 radius=round(r * s), fill=value)

    def ring(self, x0, y0, x1, y1, r, width):
        self.rrect(x0, y0, x1, y1, r)
        self.rrect(x0 + width, y0 + width, x1 - width, y1 - width,
                   max(0.0, r - width), value=0)

    def circle(self, cx, cy, r, value=255):
        s = self.s
        self.d.ellipse([round((cx - r) * s), round((cy - r) * s),
                        round((cx + r) * s) - 1, round((cy + r) * s) - 1], fill=value)

    def poly(self, pts, value=255):
        self.d.polygon([self._p(x, y) for x, y in pts], fill=value)

    def stroke(self, pts, width, value=255, caps=True):
        """Polyline with round joins (and round caps unless caps=False)."""
        r = width / 2.0
        for (x0, y0), (x1, y1) in zip(pts, pts[1:]):
            dx, dy = x1 - x0, y1 - y0
            n = math.hypot(dx, dy) or 1.0
            nx, ny = -dy / n * r, dx / n * r
            self.poly([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny),
                       (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)], value)
        ends = pts if caps else pts[1:-1]
        for x, y in ends:
            self.circle(x, y, r, value)


def arc_points(cx, cy, r, a0, a1, steps=48):
    """Points on a circle, angles in degrees, 0 = east, clockwise (y down)."""
    out = []
    for i in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * i / steps)
        out.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return out


def quad_bezier(p0, p1, p2, steps=16):
    out = []
    for i in range(steps + 1):
        t = i / steps
        out.append(((1 - t) ** 2 * p0[0] + 2 * (1 - t) * t * p1[0] + t * t * p2[0],
                    (1 - t) ** 2 * p0[1] + 2 * (1 - t) * t * p1[1] + t * t * p2[1]))
    return out


def chevron(pen, cx, cy, w, h, direction, width):
    """An open chevron centred on (cx, cy), w x h, pointing right/down/up."""
    if direction == 'right':
        pts = [(cx - w / 2, cy - h / 2), (cx + w / 2, cy), (cx - w / 2, cy + h / 2)]
    elif direction == 'down':
        pts = [(cx - w / 2, cy - h / 2), (cx, cy + h / 2), (cx + w / 2, cy - h / 2)]
    else:
        pts = [(cx - w / 2, cy + h / 2), (cx, cy - h / 2), (cx + w / 2, cy + h / 2)]
    pen.stroke(pts, width)


def padlock(pen, cx, top, size, part):
    """A padlock `size` wide, its shackle starting at `top`.  part: 'body',
    'shackle' or 'hole' (the keyhole, to be drawn in a contrasting colour)."""
    bw, bh = size, size * 0.78
    by = top + size * 0.52
    sw = size * 0.13
    sr = size * 0.3
    if part == 'body':
        pen.rrect(cx - bw / 2, by, cx + bw / 2, by + bh, size * 0.14)
    elif part == 'shackle':
        sy = top + sw / 2 + sr
        pts = [(cx - sr, by + sw)] + arc_points(cx, sy, sr, 180, 360) + [(cx + sr, by + sw)]
        pen.stroke(pts, sw, caps=False)
    else:
        hy = by + bh * 0.42
        pen.circle(cx, hy, size * 0.085)
        pen.poly([(cx - size * 0.04, hy), (cx + size * 0.04, hy),
                  (cx + size * 0.055, hy + size * 0.2), (cx - size * 0.055, hy + size * 0.2)])


def shield_points(cx, top, w, h):
    """Outline of a shield, w x h, top centre at (cx, top)."""
    l, r = cx - w / 2, cx + w / 2
    pts = [(cx, top)]
    pts += quad_bezier((cx, top), (cx + w * 0.25, top + h * 0.1), (r, top + h * 0.12), 8)[1:]
    pts += [(r, top + h * 0.45)]
    pts += quad_bezier((r, top + h * 0.45), (r - w * 0.05, top + h * 0.85), (cx, top + h), 16)[1:]
    pts += quad_bezier((cx, top + h), (l + w * 0.05, top + h * 0.85), (l, top + h * 0.45), 16)[1:]
    pts += [(l, top + h * 0.12)]
    pts += quad_bezier((l, top + h * 0.12), (cx - w * 0.25, top + h * 0.1), (cx, top), 8)[1:]
    return pts


# ==========================================================================
# Painters.  Each returns an RGBA picture of exactly the image's size.

def paint_close(entry, lang):
    c = Canvas(20, 20, levels=entry.get('levels'))
    c.draw(lambda p: (p.stroke([(5.5, 5.5), (14.5, 14.5)], 1.6),
                      p.stroke([(14.5, 5.5), (5.5, 14.5)], 1.6)), entry['colour'])
    return c.img


def paint_minimise(entry, lang):
    c = Canvas(20, 20, levels=entry.get('levels'))
    c.draw(lambda p: p.rect(5, 9, 15, 11), entry['colour'])
    return c.img


def paint_tick_box(entry, lang):
    c = Canvas(11, 11, bg=WHITE + (255,), levels=entry.get('levels'))
    if entry['ticked']:
        c.draw(lambda p: p.rrect(0, 0, 11, 11, 2), BLUE)
        c.draw(lambda p: p.stroke([(2.6, 5.6), (4.6, 7.6), (8.4, 3.6)], 1.5), WHITE)
    else:
        c.draw(lambda p: p.ring(0, 0, 11, 11, 2, 1), BOX_GREY)
    return c.img


def paint_path_frame(entry, lang):
    w, h = entry['size']
    c = Canvas(w, h)
    c.draw(lambda p: p.rrect(0, 0, w, h, 4), WHITE)
    c.draw(lambda p: p.ring(0, 0, w, h, 4, 1), FRAME_GREY)
    return c.img


def paint_flat_button(entry, lang):
    """Blue button: rounded fill, bold white text, a double chevron."""
    w, h = entry['size']
    c = Canvas(w, h)
    c.draw(lambda p: p.rrect(0, 0, w, h, 8), entry['colour'])
    fam = family_of(lang)
    text = TEXT[entry['text']][lang]
    chev_w, gap = 13, 9
    line, base = fit_line([(text, WHITE, False)], fam, True, range(17, 10, -1),
                          w - 2 * 16 - chev_w - gap, h / 2.0, 6, h - 6)
    total = line.width + gap + chev_w
    x = round((w - total) / 2.0)
    line.draw(c, x, base)
    cx0 = x + line.width + gap + 3
    cy = h / 2.0
    c.draw(lambda p: (chevron(p, cx0, cy, 4.5, 9, 'right', 1.9),
                      chevron(p, cx0 + 6.5, cy, 4.5, 9, 'right', 1.9)), WHITE)
    return c.img


def paint_frame_button(entry, lang):
    """White button with a 1-pixel frame, grey or blue, and centred text."""
    w, h = entry['size']
    c = Canvas(w, h, bg=(0, 0, 0, 0), levels=entry.get('levels'))
    frame, ink = (BLUE, BLUE_TEXT) if entry['hover'] else (FRAME_GREY, TEXT_DARK)
    c.draw(lambda p: p.rrect(0, 0, w, h, 4), WHITE)
    c.draw(lambda p: p.ring(0, 0, w, h, 4, 1), frame)
    fam = family_of(lang)
    text = TEXT[entry['text']][lang]
    pad = entry['pad']
    line, base = fit_line([(text, ink, False)], fam, False, range(entry['max_px'], 7, -1),
                          w - 2 * pad, h / 2.0, 3, h - 3)
    line.draw(c, round((w - line.width) / 2.0), base)
    return c.img


def paint_customize(entry, lang):
    """Text followed by a chevron, right-aligned, on transparent ground."""
    w, h = entry['size']
    c = Canvas(w, h, levels=entry.get('levels'))
    fam = family_of(lang)
    text = TEXT['customize'][lang]
    chev_w, gap, right = 8, 5, 3
    line, base = fit_line([(text, TEXT_MID, False)], fam, False, range(11, 7, -1),
                          w - chev_w - gap - right, h / 2.0, 0, h)
    x = w - right - chev_w - gap - line.width
    line.draw(c, x, base)
    cx = w - right - chev_w / 2.0
    c.draw(lambda p: chevron(p, cx, h / 2.0, 7, 3.6, entry['chevron'], 1.3), TEXT_MID)
    return c.img


def paint_licence(entry, lang):
    """The agreement sentence with the link text, left-aligned, vertically
    centred on the tick box that sits at its left (11 pixels high)."""
    w, h = entry['size']
    c = Canvas(w, h)
    fam = family_of(lang)
    runs = [(t, BLUE_TEXT if link else TEXT_DARK, bool(link))
            for t, link in TEXT['licence'][lang]]
    line, base = fit_line(runs, fam, False, range(12, 8, -1), w - 2, 5.5, 0, h)
    line.draw(c, 0, base)
    return c.img


def paint_small_logo(entry, lang):
    """Logo mark and product title.  Drawn in the 150 x 30 geometry in which
    the window shows it and resampled to the stored size."""
    dw, dh, unit = 150, 30, 6
    c = Canvas(dw, dh, unit=unit, aa=2, bg=WHITE + (255,))
    c.draw(lambda p: p.rrect(1, 1, 29, 29, 6.5), c.gradient(BLUE_HOVER, BLUE_PRESSED))
    c.draw(lambda p: padlock(p, 15, 6, 13, 'shackle'), WHITE)
    c.draw(lambda p: padlock(p, 15, 6, 13, 'body'), WHITE)
    c.draw(lambda p: padlock(p, 15, 6, 13, 'hole'), BLUE_PRESSED)
    line = Line([(PRODUCT, NAVY, False)], 'latin', True, 19 * unit)
    c.text(line, 37, 22)
    return c.img.resize(entry['size'], Image.Resampling.LANCZOS)


def paint_large_logo(entry, lang):
    """Large padlock with the maker and the product title, on white (white
    is the key colour, so it is transparent)."""
    w, h = entry['size']
    c = Canvas(w, h, bg=WHITE + (255,))
    cx, top, size = w / 2.0, 4, 66
    c.draw(lambda p: p.circle(cx, top + 44, 44), BLUE_PALE)
    c.draw(lambda p: padlock(p, cx, top + 8, size * 0.9, 'shackle'), NAVY)
    c.draw(lambda p: padlock(p, cx, top + 8, size * 0.9, 'body'),
           c.gradient(BLUE_HOVER, BLUE_PRESSED))
    c.draw(lambda p: padlock(p, cx, top + 8, size * 0.9, 'hole'), WHITE)
    maker = Line([(MAKER, SLATE, False)], 'latin', False, 13)
    title = Line([(PRODUCT, NAVY, False)], 'latin', True, 30)
    maker.draw(c, round((w - maker.width) / 2.0), 113)
    title.draw(c, round((w - title.width) / 2.0), 146)
    return c.img


SLIDE_W, SLIDE_H = 750, 290     # the geometry in which slides are shown


def _slide_ground(c):
    c.fill_mask(Image.new('L', c.size, 255), c.gradient((229, 239, 255), (250, 252, 255)))
    c.draw(lambda p: p.circle(640, 40, 190), (219, 233, 255), 0.55)
    c.draw(lambda p: p.circle(90, 300, 120), (222, 235, 255), 0.5)


def _illustration(c, kind, cx, cy):
    c.draw(lambda p: p.circle(cx, cy, 96), BLUE_PALE)
    c.draw(lambda p: p.circle(cx, cy, 76), WHITE)
    if kind == 'shield':
        c.draw(lambda p: p.poly(shield_points(cx, cy - 52, 84, 104)),
               c.gradient(BLUE_HOVER, BLUE_PRESSED))
        c.draw(lambda p: p.stroke([(cx - 20, cy - 2), (cx - 5, cy + 13), (cx + 22, cy - 16)], 9),
               WHITE)
    elif kind == 'gauge':
        c.draw(lambda p: p.stroke(arc_points(cx, cy + 10, 52, 150, 390), 11), BLUE_PALE)
        c.draw(lambda p: p.stroke(arc_points(cx, cy + 10, 52, 150, 320), 11), BLUE)
        ang = math.radians(305)
        tip = (cx + 40 * math.cos(ang), cy + 10 + 40 * math.sin(ang))
        c.draw(lambda p: p.stroke([(cx, cy + 10), tip], 6), NAVY)
        c.draw(lambda p: p.circle(cx, cy + 10, 9), NAVY)
        for k in range(7):
            a = math.radians(150 + k * 40)
            c.draw(lambda p, a=a: p.circle(cx + 34 * math.cos(a), cy + 10 + 34 * math.sin(a),
                                           2.2), (150, 184, 240))
    elif kind == 'update':
        r = 50
        for a0, a1 in ((200, 335), (20, 155)):
            pts = arc_points(cx, cy, r, a0, a1)
            c.draw(lambda p, pts=pts: p.stroke(pts, 11), BLUE)
            ex, ey = pts[-1]
            a = math.radians(a1)
            tx, ty = -math.sin(a), math.cos(a)          # direction of travel
            nx, ny = math.cos(a), math.sin(a)            # outward
            head = [(ex + nx * 13, ey + ny * 13), (ex - nx * 13, ey - ny * 13),
                    (ex + tx * 16, ey + ty * 16)]
            c.draw(lambda p, head=head: p.poly(head), BLUE)
        c.draw(lambda p: (p.stroke([(cx, cy - 20), (cx, cy + 12)], 8),
                          p.stroke([(cx - 13, cy), (cx, cy + 14), (cx + 13, cy)], 8)), NAVY)
    elif kind == 'padlock':
        c.draw(lambda p: padlock(p, cx, cy - 52, 80, 'shackle'), NAVY)
        c.draw(lambda p: padlock(p, cx, cy - 52, 80, 'body'),
               c.gradient(BLUE_HOVER, BLUE_PRESSED))
        c.draw(lambda p: padlock(p, cx, cy - 52, 80, 'hole'), WHITE)


def paint_slide(entry, lang):
    """One slide of the installing page.  Drawn at twice the 750 x 290
    geometry in which the window shows every slide, then resampled to the
    stored size, so the picture looks right once the window stretches it."""
    unit = 2
    c = Canvas(SLIDE_W, SLIDE_H, unit=unit, aa=2, bg=WHITE + (255,))
    _slide_ground(c)
    if lang == 'en':
        title, caption, chips = TEXT['banner']['en']
        _illustration(c, 'padlock', 575, 140)
        t = Line([(title, NAVY, False)], 'latin', True, 46 * unit)
        c.text(t, 60, 118)
        s = Line([(caption, SLATE, False)], 'latin', False, 18 * unit)
        c.text(s, 61, 156)
        x = 60
        for chip in chips:
            lab = Line([(chip, NAVY, False)], 'latin', False, 13 * unit)
            cw = lab.width / unit + 40
            c.draw(lambda p, x=x, cw=cw: p.rrect(x, 182, x + cw, 212, 15), WHITE)
            c.draw(lambda p, x=x, cw=cw: p.ring(x, 182, x + cw, 212, 15, 1), BLUE_PALE)
            c.draw(lambda p, x=x: p.circle(x + 16, 197, 7), BLUE)
            c.draw(lambda p, x=x: p.stroke([(x + 12.6, 197.2), (x + 15.2, 199.8),
                                            (x + 19.6, 194.6)], 1.8), WHITE)
            c.text(lab, x + 29, 202)
            x += cw + 10
    else:
        fam = family_of(lang)
        title, caption = TEXT[entry['slide']][lang]
        kind = {'slide1': 'shield', 'slide2': 'gauge', 'slide3': 'update'}[entry['slide']]
        _illustration(c, kind, 575, 135)
        max_w = 400
        for px in range(32, 19, -1):
            t = Line([(title, NAVY, False)], fam, True, px * unit)
            if t.width <= max_w * unit:
                break
        c.text(t, 60, 112)
        px, lines = caption_lines(caption, fam, False, [n * unit for n in range(18, 12, -1)],
                                  max_w * unit, 17 * unit)
        px //= unit
        for i, text in enumerate(lines):
            c.text(Line([(text, SLATE, False)], fam, False, px * unit), 61, 150 + i * 27)
        index = int(entry['slide'][-1]) - 1
        for i in range(3):
            colour = BLUE if i == index else (190, 208, 238)
            c.draw(lambda p, i=i: p.circle(SLIDE_W / 2.0 + (i - 1) * 18, 268, 4.5), colour)
    return c.img.convert('RGB').resize(entry['size'], Image.Resampling.LANCZOS)


def paint_icon(size):
    """Program icon: blue rounded square with a white download arrow into a
    tray.  Edges that should be crisp are put on whole pixels per size."""
    n = size
    c = Canvas(n, n, aa=8 if n < 256 else 2)
    m = max(0, round(n / 32.0)) if n > 16 else 0
    r = n * 0.2
    c.draw(lambda p: p.rrect(m, m, n - m, n - m, r), c.gradient(BLUE_HOVER, BLUE_PRESSED))
    sw = max(2, round(n * 0.125))         # width of the arrow's shaft
    if (n - sw) % 2:
        sw += 1                            # keep the shaft centred on pixels
    cx = n / 2.0
    y_top = round(n * 0.18)
    y_head = round(n * 0.42)
    half_head = round(n * 0.2)
    y_tip = y_head + half_head             # 45-degree flanks stay crisp
    tsw = max(1, round(n * 0.09))          # stroke width of the tray
    tray_l = round(n * 0.2)
    tray_r = n - tray_l
    tray_t = round(n * 0.54)
    tray_b = round(n * 0.7) + tsw

    def arrow(p):
        p.rect(cx - sw / 2.0, y_top, cx + sw / 2.0, y_head + 1)
        p.poly([(cx - half_head, y_head), (cx + half_head, y_head), (cx, y_tip)])

    def tray(p):
        p.rect(tray_l, tray_t, tray_l + tsw, tray_b)
        p.rect(tray_r - tsw, tray_t, tray_r, tray_b)
        p.rect(tray_l, tray_b - tsw, tray_r, tray_b)

    c.draw(arrow, WHITE)
    c.draw(tray, WHITE)
    return c.img


# ==========================================================================
# The image table.
#
# Each entry: id, size, PNG form, role, painter and its options.  Localised
# entries give the base id; the image exists at the base id and at base + 3,
# + 4, + 5, + 8 and + 9 (see LANGUAGES).  A size may depend on the language.

def img(rid, size, form, role, painter, **opts):
    d = dict(id=rid, size=size, form=form, role=role, painter=painter)
    d.update(opts)
    return d


SLIDE_SIZE = {'en': (885, 373), '*': (650, 290)}

SINGLE = [
    img(202, (11, 11), 'pal8', 'agreement box, ticked',
        paint_tick_box, ticked=True, levels=12),
    img(207, (323, 32), 'grey_trns', 'rounded frame of the path box',
        paint_path_frame, key=(0, 0, 0)),
    img(213, (229, 51), 'rgb', 'small logo with the product title',
        paint_small_logo),
    img(214, (260, 155), 'rgb_trns', 'large padlock logo, maker and product title',
        paint_large_logo, key=WHITE),
    img(215, (11, 11), 'pal4', 'agreement box, empty',
        paint_tick_box, ticked=False, levels=6),
    img(239, (20, 20), 'grey_alpha', 'close cross, grey (normal, pressed)',
        paint_close, colour=CROSS_GREY),
    img(240, (20, 20), 'pal8_trns', 'close cross, blue (hover)',
        paint_close, colour=BLUE),
    img(243, (20, 20), 'pal4_trns', 'minimise bar, dark (normal, pressed)',
        paint_minimise, colour=BAR_DARK, levels=15),
    img(244, (20, 20), 'pal4_trns', 'minimise bar, blue (hover)',
        paint_minimise, colour=BLUE, levels=15),
]

LOCALISED = [
    img(263, (90, 32), 'grey_alpha', 'Browse button, grey frame (normal, pressed)',
        paint_frame_button, text='browse', hover=False, pad=5, max_px=12),
    img(273, (90, 32), 'rgba', 'Browse button, blue frame (hover)',
        paint_frame_button, text='browse', hover=True, pad=5, max_px=12),
    img(283, (180, 12), 'pal8_trns', 'customise toggle, closed (down chevron)',
        paint_customize, chevron='down'),
    img(293, (180, 12), 'pal8_trns', 'customise toggle, open (up chevron)',
        paint_customize, chevron='up'),
    img(303, (57, 26), 'grey', 'Hide button, grey frame (normal, pressed)',
        paint_frame_button, text='hide', hover=False, pad=2, max_px=11),
    img(313, (57, 26), 'pal8_trns', 'Hide button, blue frame (hover)',
        paint_frame_button, text='hide', hover=True, pad=2, max_px=11, levels=16),
    img(323, (168, 46), 'rgba', 'Install button, pressed (darkest)',
        paint_flat_button, text='install', colour=BLUE_PRESSED),
    img(333, (168, 46), 'rgba', 'Install button, normal',
        paint_flat_button, text='install', colour=BLUE),
    img(343, (168, 46), 'rgba', 'Install button, hover (lightest)',
        paint_flat_button, text='install', colour=BLUE_HOVER),
    img(353, SLIDE_SIZE, 'rgb', 'installing page, slide 1',
        paint_slide, slide='slide1'),
    img(363, SLIDE_SIZE, 'rgb', 'installing page, slide 2',
        paint_slide, slide='slide2'),
    img(373, SLIDE_SIZE, 'rgb', 'installing page, slide 3',
        paint_slide, slide='slide3'),
    img(383, (390, 15), 'rgba', 'agreement sentence with the licence link',
        paint_licence),
    img(393, (168, 46), 'rgba', 'Start Now button, pressed (darkest)',
        paint_flat_button, text='start', colour=BLUE_PRESSED),
    img(403, (168, 46), 'rgba', 'Start Now button, normal',
        paint_flat_button, text='start', colour=BLUE),
    img(413, (168, 46), 'rgba', 'Start Now button, hover (lightest)',
        paint_flat_button, text='start', colour=BLUE_HOVER),
]

ICON_SIZES = [16, 24, 32, 48, 256]


def all_images():
    """(id, language or None, entry with the concrete size) in id order."""
    out = []
    for entry in SINGLE:
        out.append((entry['id'], None, entry))
    for entry in LOCALISED:
        for lang, offset, _ in LANGUAGES:
            s = dict(entry)
            if isinstance(entry['size'], dict):
                s['size'] = entry['size'].get(lang, entry['size']['*'])
            out.append((entry['id'] + offset, lang, s))
    out.sort(key=lambda t: t[0])
    return out


# ==========================================================================
# Output

def check_png(data, rid, entry):
    """Reads back the chunk layout that the table promises."""
    assert data[:8] == PNG_SIGNATURE
    pos, tags = 8, []
    while pos < len(data):
        n = struct.unpack('>I', data[pos:pos + 4])[0]
        tags.append(data[pos + 4:pos + 8])
        if tags[-1] == b'IHDR':
            w, h, depth, ctype, _, _, interlace = struct.unpack(
                '>IIBBBBB', data[pos + 8:pos + 21])
        pos += 12 + n
    ctype_want, depth_want, trns_want = FORMS[entry['form']]
    assert (w, h) == tuple(entry['size']), rid
    assert (ctype, depth, interlace) == (ctype_want, depth_want, 0), rid
    assert (b'tRNS' in tags) == trns_want, rid
    assert set(tags) <= {b'IHDR', b'PLTE', b'tRNS', b'IDAT', b'IEND'}, rid


def generate(root):
    skin_dir = os.path.join(root, 'res', 'skin')
    os.makedirs(skin_dir, exist_ok=True)
    os.makedirs(os.path.join(root, 'tools', 'skin'), exist_ok=True)
    table = ['id\twidth\theight\tcolor_type\tbit_depth\ttrns\tbase_id\tlanguage\trole']
    rc = ['// Skin images of the setup window, resource type "PNG".',
          '// Generated by tools/skin/make_skin.py; regenerate instead of editing.']
    for rid, lang, entry in all_images():
        picture = entry['painter'](entry, lang or 'en')
        if picture.size != tuple(entry['size']):
            raise ValueError('%d: painted %s, expected %s' % (rid, picture.size, entry['size']))
        data = png_from_image(picture, entry['form'], key=entry.get('key'))
        check_png(data, rid, entry)
        with open(os.path.join(skin_dir, '%d.png' % rid), 'wb') as f:
            f.write(data)
        ctype, depth, trns = FORMS[entry['form']]
        table.append('\t'.join(str(v) for v in (
            rid, entry['size'][0], entry['size'][1], ctype, depth,
            'yes' if trns else 'no', entry['id'], lang or '-', entry['role'])))
        rc.append('%d PNG "skin/%d.png"' % (rid, rid))
    with open(os.path.join(root, 'tools', 'skin', 'skin_table.tsv'), 'w',
              encoding='utf-8', newline='\n') as f:
        f.write('\n'.join(table) + '\n')
    with open(os.path.join(root, 'res', 'skin.rc'), 'w', encoding='ascii',
              newline='\n') as f:
        f.write('\n'.join(rc) + '\n')
    with open(os.path.join(root, 'res', 'setup.ico'), 'wb') as f:
        f.write(encode_ico([(n, paint_icon(n)) for n in ICON_SIZES]))
    return len(table) - 1


OUTPUTS = ['res/skin.rc', 'res/setup.ico', 'tools/skin/skin_table.tsv']


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--out', default=REPO, help='output root (default: repository)')
    ap.add_argument('--check', action='store_true',
                    help='compare a fresh generation with the committed files')
    args = ap.parse_args()
    if not args.check:
        n = generate(args.out)
        print('wrote %d skin images, res/skin.rc, res/setup.ico and '
              'tools/skin/skin_table.tsv below %s' % (n, args.out))
        return 0
    with tempfile.TemporaryDirectory() as tmp:
        generate(tmp)
        names = OUTPUTS + ['res/skin/' + n for n in sorted(os.listdir(os.path.join(tmp, 'res', 'skin')))]
        bad = [n for n in names
               if not os.path.exists(os.path.join(REPO, n)) or
               not filecmp.cmp(os.path.join(tmp, n), os.path.join(REPO, n), shallow=False)]
        extra = sorted(set(os.listdir(os.path.join(REPO, 'res', 'skin'))) -
                       set(os.listdir(os.path.join(tmp, 'res', 'skin'))))
    for n in bad:
        print('differs: ' + n)
    for n in extra:
        print('not generated: res/skin/' + n)
    if bad or extra:
        return 1
    print('all %d files match' % len(names))
    return 0


if __name__ == '__main__':
    sys.exit(main())
