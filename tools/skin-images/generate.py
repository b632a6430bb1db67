#!/usr/bin/python3
"""Draws every PNG image of the installer's skin from code.

    python3 tools/skin-images/generate.py                 # rewrite skin/res/...
    python3 tools/skin-images/generate.py --contact-sheet docs/skin-contact-sheet.png
    python3 tools/skin-images/generate.py --check         # layouts against the dialect

Everything is drawn at four times the final size and scaled down with a
Lanczos filter, which gives smooth, anti-aliased edges. The output depends on
nothing but this file, Pillow and the Inter font: no randomness, no clock and
no metadata in the PNG files, so a second run writes the same bytes.

Needs Debian's python3-pil and fonts-inter (see README.md beside this file).
"""

import argparse
import math
import os
import sys

try:
    from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont
except ImportError:
    # A Python of its own (pyenv, a virtualenv) may shadow Debian's, which is
    # the one that has python3-pil: hand over to it when it is there.
    debian_python = "/usr/bin/python3"
    if os.path.exists(debian_python) and os.path.realpath(sys.executable) != os.path.realpath(debian_python):
        os.execv(debian_python, [debian_python] + sys.argv)
    sys.exit("generate.py: Pillow is missing; install Debian's package: apt-get install python3-pil")

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.normpath(os.path.join(HERE, "..", ".."))
SKIN = os.path.join(REPO, "skin")

S = 4  # supersampling factor

FONT_DIR = "/usr/share/fonts/opentype/inter"


def font(weight, px):
    """Inter at `px` final pixels (scaled for supersampled drawing by the caller)."""
    path = os.path.join(FONT_DIR, "Inter-%s.otf" % weight)
    if not os.path.exists(path):
        sys.exit("generate.py: font %s is missing; install Debian's package: apt-get install fonts-inter" % path)
    return ImageFont.truetype(path, px)


# ---------------------------------------------------------------------------
# Palette. The primary blue and its hover / pressed shades are the ones the
# layouts give their dialog buttons, so images and plain-colour controls match.

def rgb(hexstr, a=255):
    h = hexstr.lstrip("#")
    return (int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16), a)


PRIMARY = "#1675FE"
PRIMARY_HOT = "#5A9DFD"
PRIMARY_PUSHED = "#1365DB"
PRIMARY_LIGHT = "#4C95FF"
CYAN = "#22B2FF"
INK = "#282A43"          # headings, hovered secondary text
MUTED = "#606178"        # secondary text
FAINT = "#9497AB"        # idle glyphs on dialogs
LINE = "#D5DCE8"         # borders of fields and outline buttons
TRACK = "#E3EAF5"        # progress track, spinner track
DANGER = "#F0475A"       # close button, hovered
DANGER_PUSHED = "#D23449"
AMBER = "#FFB020"
AMBER_DEEP = "#F28C0C"
MASK_KEY = (255, 0, 0)   # colour key the layouts give the progress images


# ---------------------------------------------------------------------------
# Drawing helpers. Coordinates are in final pixels; helpers scale by S.

def sc(v):
    return [x * S for x in v]


def canvas(w, h, fill=(0, 0, 0, 0)):
    return Image.new("RGBA", (w * S, h * S), fill)


def mask_of(w, h):
    m = Image.new("L", (w * S, h * S), 0)
    return m, ImageDraw.Draw(m)


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c0, c1, t):
    return tuple(int(round(lerp(c0[i], c1[i], t))) for i in range(4))


def gradient(size, stops, angle=0.0):
    """Linear gradient over `size` (real pixels of the image passed in).
    stops: [(t, rgba), ...] with t from 0 to 1; angle 0 runs left to right,
    90 top to bottom."""
    W, H = size
    ca, sa = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    corners = [x * ca + y * sa for x in (0, W) for y in (0, H)]
    lo, hi = min(corners), max(corners)
    n = 512
    table = []
    for i in range(n):
        t = i / (n - 1)
        for k in range(len(stops) - 1):
            t0, c0 = stops[k]
            t1, c1 = stops[k + 1]
            if t <= t1 or k == len(stops) - 2:
                u = 0.0 if t1 == t0 else min(max((t - t0) / (t1 - t0), 0.0), 1.0)
                table.append(mix(c0, c1, u))
                break
    span = (hi - lo) or 1.0
    k = (n - 1) / span
    data = []
    for y in range(H):
        base = y * sa - lo
        data.extend(table[int((x * ca + base) * k)] for x in range(W))
    img = Image.new("RGBA", (W, H))
    img.putdata(data)
    return img


def paint(img, mask, fill):
    """Composites `fill` (a colour or an image of img's size) through `mask`."""
    if isinstance(fill, tuple):
        src = Image.new("RGBA", img.size, fill)
    else:
        src = fill
    layer = src.copy()
    layer.putalpha(ImageChops.multiply(src.getchannel("A"), mask))
    return Image.alpha_composite(img, layer)


def rounded(img, box, radius, fill):
    m, d = mask_of(img.size[0] // S, img.size[1] // S)
    d.rounded_rectangle(sc(box), radius=radius * S, fill=255)
    return paint(img, m, fill)


def ring_box(img, box, radius, width, fill):
    """A rounded outline of `width` pixels drawn inside `box`."""
    m, d = mask_of(img.size[0] // S, img.size[1] // S)
    d.rounded_rectangle(sc(box), radius=radius * S, fill=255)
    x0, y0, x1, y1 = box
    inner = (x0 + width, y0 + width, x1 - width, y1 - width)
    d.rounded_rectangle(sc(inner), radius=max(radius - width, 0) * S, fill=0)
    return paint(img, m, fill)


def ellipse(img, box, fill):
    m, d = mask_of(img.size[0] // S, img.size[1] // S)
    d.ellipse(sc(box), fill=255)
    return paint(img, m, fill)


def polyline(img, points, width, fill):
    """A stroke with round caps and joins."""
    m, d = mask_of(img.size[0] // S, img.size[1] // S)
    pts = [(x * S, y * S) for x, y in points]
    d.line(pts, fill=255, width=int(round(width * S)), joint="curve")
    r = width * S / 2
    for x, y in (pts[0], pts[-1]):
        d.ellipse((x - r, y - r, x + r, y + r), fill=255)
    return paint(img, m, fill)


def arc(img, center, radius, start, end, width, fill):
    """An arc of a circle with round caps; angles in degrees, clockwise from 3 o'clock."""
    cx, cy = center
    m, d = mask_of(img.size[0] // S, img.size[1] // S)
    r_out = (radius + width / 2) * S
    d.arc((cx * S - r_out, cy * S - r_out, cx * S + r_out, cy * S + r_out),
          start, end, fill=255, width=int(round(width * S)))
    for a in (start, end):
        px = (cx + radius * math.cos(math.radians(a))) * S
        py = (cy + radius * math.sin(math.radians(a))) * S
        rr = width * S / 2
        d.ellipse((px - rr, py - rr, px + rr, py + rr), fill=255)
    return paint(img, m, fill)


def text_mask(img, txt, fnt, center):
    """Mask of `txt` whose ink box is centred on `center` (final pixels)."""
    m, d = mask_of(img.size[0] // S, img.size[1] // S)
    x0, y0, x1, y1 = d.textbbox((0, 0), txt, font=fnt)
    cx, cy = center
    d.text((cx * S - (x0 + x1) / 2, cy * S - (y0 + y1) / 2), txt, font=fnt, fill=255)
    return m


def shadow(img, mask, color, blur, offset=(0, 0)):
    """A soft shadow of `mask` under what is drawn next."""
    m = ImageChops.offset(mask, int(offset[0] * S), int(offset[1] * S))
    m = m.filter(ImageFilter.GaussianBlur(blur * S))
    return paint(img, m, color)


def finish(img, key=(0, 0, 0)):
    """Scales a supersampled drawing down to its final size. Fully transparent
    pixels get one fixed colour (`key`), so nothing hidden varies."""
    out = img.resize((img.size[0] // S, img.size[1] // S), Image.LANCZOS)
    return keyed(out, key)


def keyed(img, key=(0, 0, 0)):
    clear = key + (0,)
    img.putdata([p if p[3] else clear for p in img.getdata()])
    return img


# ---------------------------------------------------------------------------
# res/common: title-bar buttons. 1 normal, 2 hot, 3 pushed.

def title_button(kind, state, dialog=False):
    img = canvas(24, 24)
    if kind == "min":
        glyph = [FAINT if dialog else MUTED, INK, INK][state]
        back = [None, rgb(PRIMARY, 22), rgb(PRIMARY, 44)][state]
    else:
        glyph = [FAINT if dialog else MUTED, "#FFFFFF", "#FFFFFF"][state]
        back = [None, rgb(DANGER), rgb(DANGER_PUSHED)][state]
    if back:
        img = rounded(img, (0, 0, 24, 24), 6, back)
    if kind == "min":
        img = polyline(img, [(7.5, 12.5), (16.5, 12.5)], 1.6, rgb(glyph))
    else:
        h = 4.0 if dialog else 4.5
        img = polyline(img, [(12 - h, 12 - h), (12 + h, 12 + h)], 1.6, rgb(glyph))
        img = polyline(img, [(12 + h, 12 - h), (12 - h, 12 + h)], 1.6, rgb(glyph))
    return finish(img)


# ---------------------------------------------------------------------------
# res/mainWnd

def background(page):
    """600 x 400 page backgrounds: 1 start, 2 custom, 3 installing, 4 finished."""
    W, H = 600, 400
    img = gradient((W, H), [(0, rgb("#EEF4FF")), (0.55, rgb("#F8FBFF")), (1, rgb("#FFFFFF"))], 80)

    def glow(img, cx, cy, r, color, blur):
        m = Image.new("L", (W, H), 0)
        ImageDraw.Draw(m).ellipse((cx - r, cy - r, cx + r, cy + r), fill=255)
        m = m.filter(ImageFilter.GaussianBlur(blur))
        return paint(img, m, color)

    if page == 1:
        img = glow(img, 590, -30, 210, rgb(PRIMARY, 34), 70)
        img = glow(img, 20, 430, 170, rgb(CYAN, 26), 70)
        img = glow(img, 300, 170, 150, rgb("#FFFFFF", 150), 60)
    elif page == 2:
        img = glow(img, 600, -40, 180, rgb(PRIMARY, 26), 70)
        img = glow(img, 0, 420, 140, rgb(CYAN, 18), 70)
    elif page == 3:
        img = glow(img, 300, 178, 130, rgb(PRIMARY, 30), 60)
        img = glow(img, 600, -40, 160, rgb(CYAN, 20), 70)
        img = glow(img, 0, 430, 160, rgb(PRIMARY, 16), 70)
    else:
        img = glow(img, 300, 135, 120, rgb(PRIMARY, 26), 55)
        img = glow(img, 590, -30, 170, rgb(CYAN, 22), 70)
        img = glow(img, 10, 430, 170, rgb(PRIMARY, 18), 70)
        rings = Image.new("L", (W * S, H * S), 0)
        d = ImageDraw.Draw(rings)
        for r, a in ((62, 70), (92, 42), (124, 22)):
            d.ellipse(((300 - r) * S, (135 - r) * S, (300 + r) * S, (135 + r) * S), outline=a, width=S)
        rings = rings.resize((W, H), Image.LANCZOS)
        img = paint(img, rings, rgb(PRIMARY, 60))

    # Soft lines sweeping in from the bottom corners give the page depth.
    waves = Image.new("L", (W * S, H * S), 0)
    d = ImageDraw.Draw(waves)
    for i in range(5):
        r = (520 + 26 * i) * S
        cx, cy = (-40 - 10 * i) * S, (880 + 6 * i) * S
        d.ellipse((cx - r, cy - r, cx + r, cy + r), outline=46 - 7 * i, width=S)
        r2 = (470 + 24 * i) * S
        cx2, cy2 = (700 + 8 * i) * S, (860 + 4 * i) * S
        d.ellipse((cx2 - r2, cy2 - r2, cx2 + r2, cy2 + r2), outline=34 - 5 * i, width=S)
    waves = waves.resize((W, H), Image.LANCZOS)
    img = paint(img, waves, rgb(PRIMARY, 255))

    # A hairline frame keeps the edge crisp on white desktops.
    frame = Image.new("L", (W, H), 0)
    ImageDraw.Draw(frame).rectangle((0, 0, W - 1, H - 1), outline=255)
    img = paint(img, frame, rgb("#003B76", 40))
    return img.convert("RGB").convert("RGBA")


def emblem(img, x, y, size):
    """The product's mark: a blue tile with a white, slightly stylised T."""
    k = size / 44.0
    tile = Image.new("L", img.size, 0)
    ImageDraw.Draw(tile).rounded_rectangle(sc((x, y, x + size, y + size)), radius=12 * k * S, fill=255)
    g = gradient(img.size, [(0, rgb("#58A0FF")), (0.55, rgb(PRIMARY)), (1, rgb("#0F5FD6"))], 55)
    img = paint(img, tile, g)
    gloss = Image.new("L", img.size, 0)
    ImageDraw.Draw(gloss).ellipse(sc((x - 14 * k, y - 30 * k, x + 40 * k, y + 20 * k)), fill=40)
    img = paint(img, ImageChops.multiply(gloss, tile), rgb("#FFFFFF"))
    white = rgb("#FFFFFF")
    img = polyline(img, [(x + 12.5 * k, y + 14.5 * k), (x + 31.5 * k, y + 14.5 * k)], 5.2 * k, white)
    img = polyline(img, [(x + 22 * k, y + 15 * k), (x + 22 * k, y + 31 * k)], 5.2 * k, white)
    img = ellipse(img, (x + 30.2 * k, y + 27.2 * k, x + 35.8 * k, y + 32.8 * k), rgb("#9FE3FF"))
    return img


def logo():
    W, H = 226, 44
    img = canvas(W, H)
    fnt = font("SemiBold", 31 * S)
    probe = ImageDraw.Draw(img)
    x0, y0, x1, y1 = probe.textbbox((0, 0), "Talvorin", font=fnt)
    tw = (x1 - x0) / S
    gap = 11
    left = (W - (44 + gap + tw)) / 2
    img = emblem(img, left, 0, 44)
    m, d = mask_of(W, H)
    # Ink box centred on the tile, nudged so the x-height sits optically centred.
    ty = (H * S - (y1 - y0)) / 2 - y0
    d.text(((left + 44 + gap) * S - x0, ty), "Talvorin", font=fnt, fill=255)
    img = paint(img, m, rgb(INK))
    return finish(img)


def pill_button(w, h, state, stops):
    img = canvas(w, h)
    body = Image.new("L", img.size, 0)
    ImageDraw.Draw(body).rounded_rectangle(sc((0, 0, w, h)), radius=h / 2 * S, fill=255)
    img = paint(img, body, gradient(img.size, stops[state], 0))
    if state != 2:
        # A light sheen on the upper half, fading out towards the middle.
        sheen = gradient(img.size, [(0, rgb("#FFFFFF", 46)), (0.5, rgb("#FFFFFF", 0)), (1, rgb("#FFFFFF", 0))], 90)
        img = paint(img, body, sheen)
    else:
        # Pressed: a faint inner shade along the top edge.
        shade = gradient(img.size, [(0, rgb("#000000", 30)), (0.3, rgb("#000000", 0)), (1, rgb("#000000", 0))], 90)
        img = paint(img, body, shade)
    return finish(img)


INSTALL_STOPS = [
    [(0, rgb(PRIMARY_LIGHT)), (1, rgb(PRIMARY))],
    [(0, rgb("#66A9FF")), (1, rgb("#3A89FF"))],
    [(0, rgb(PRIMARY_PUSHED)), (1, rgb("#0F57C4"))],
]
EXPERIENCE_STOPS = [
    [(0, rgb(PRIMARY)), (1, rgb(CYAN))],
    [(0, rgb("#3A89FF")), (1, rgb("#4CC3FF"))],
    [(0, rgb(PRIMARY_PUSHED)), (1, rgb("#1496DB"))],
]


def outline_button(w, h, state, radius=6):
    fills = [rgb("#FFFFFF"), rgb("#F3F8FF"), rgb("#E6F0FF")]
    borders = [rgb(LINE), rgb(PRIMARY_HOT), rgb(PRIMARY_PUSHED)]
    img = canvas(w, h)
    img = rounded(img, (0, 0, w, h), radius, fills[state])
    img = ring_box(img, (0, 0, w, h), radius, 1, borders[state])
    return img


def folder_glyph(img, x, y, color):
    """A 14 x 12 outlined folder at (x, y)."""
    c = rgb(color)
    img = polyline(img, [(x + 0.8, y + 10.6), (x + 0.8, y + 1.4), (x + 5, y + 1.4), (x + 6.6, y + 3.2),
                         (x + 13.2, y + 3.2), (x + 13.2, y + 10.6), (x + 0.8, y + 10.6)], 1.4, c)
    img = polyline(img, [(x + 0.8, y + 5.4), (x + 13.2, y + 5.4)], 1.2, c)
    return img


def chdir_button(state):
    img = outline_button(110, 36, state)
    img = folder_glyph(img, 17, 12, [MUTED, PRIMARY, PRIMARY_PUSHED][state])
    return finish(img)


def back_button(state):
    w, h = 64, 30
    img = canvas(w, h)
    if state:
        img = rounded(img, (0, 0, w, h), h / 2, rgb(PRIMARY, [0, 20, 40][state]))
    color = rgb([MUTED, PRIMARY, PRIMARY_PUSHED][state])
    img = polyline(img, [(17.5, 10), (12.5, 15), (17.5, 20)], 1.8, color)
    return finish(img)


def language_combo(state):
    # An outline field like the folder edit, with a down chevron at the right.
    w, h = 150, 26
    img = outline_button(w, h, state, radius=4)
    color = rgb([MUTED, PRIMARY, PRIMARY_PUSHED][state])
    img = polyline(img, [(w - 17.5, 11), (w - 13.5, 15), (w - 9.5, 11)], 1.5, color)
    return finish(img)


def chevron(state):
    img = canvas(16, 16)
    color = rgb([MUTED, INK][state])
    img = polyline(img, [(6.5, 4.5), (10, 8), (6.5, 11.5)], 1.6, color)
    return finish(img)


def check_box(checked):
    img = canvas(15, 14)
    box = (0, 0, 14, 14)
    if checked:
        img = rounded(img, box, 3, gradient(img.size, [(0, rgb(PRIMARY_LIGHT)), (1, rgb(PRIMARY))], 90))
        img = polyline(img, [(3.6, 7.2), (6.1, 9.7), (10.6, 4.6)], 1.7, rgb("#FFFFFF"))
    else:
        img = rounded(img, box, 3, rgb("#FFFFFF"))
        img = ring_box(img, box, 3, 1, rgb("#B9C2D3"))
    return finish(img)


def dir_edit():
    w, h = 340, 36
    img = canvas(w, h)
    img = rounded(img, (0, 0, w, h), 6, rgb("#FFFFFF"))
    # A whisper of inner shade at the top says "you can type here".
    inner = Image.new("L", img.size, 0)
    ImageDraw.Draw(inner).rounded_rectangle(sc((1, 1, w - 1, h - 1)), radius=5 * S, fill=255)
    shade = gradient(img.size, [(0, rgb("#1D3A6B", 14)), (0.18, rgb("#1D3A6B", 0)), (1, rgb("#1D3A6B", 0))], 90)
    img = paint(img, inner, shade)
    img = ring_box(img, (0, 0, w, h), 6, 1, rgb(LINE))
    return finish(img)


def progress(fore):
    """520 x 8 track (background) and fill (foreground). The corners outside
    the pill are transparent and carry the layout's mask colour."""
    w, h = 520, 8
    img = canvas(w, h)
    if fore:
        fill = gradient(img.size, [(0, rgb("#5FA6FF")), (0.6, rgb(PRIMARY)), (1, rgb("#0F63E0"))], 0)
    else:
        fill = rgb(TRACK)
    img = rounded(img, (0, 0, w, h), h / 2, fill)
    if fore:
        sheen = gradient(img.size, [(0, rgb("#FFFFFF", 60)), (0.5, rgb("#FFFFFF", 0)), (1, rgb("#FFFFFF", 0))], 90)
        m, d = mask_of(w, h)
        d.rounded_rectangle(sc((0, 0, w, h)), radius=h / 2 * S, fill=255)
        img = paint(img, m, sheen)
    return finish(img, MASK_KEY)


def tip_bubble():
    """220 x 32 hint bubble with its pointer at the bottom left, aimed at the
    licence check box under it. The text comes from the layout."""
    w, h = 220, 32
    img = canvas(w, h)
    m, d = mask_of(w, h)
    d.rounded_rectangle(sc((0, 0, w, 26)), radius=5 * S, fill=255)
    d.polygon([(3 * S, 25 * S), (13 * S, 25 * S), (8 * S, 31.5 * S)], fill=255)
    img = paint(img, m, rgb(INK, 236))
    return finish(img)


def finished_mark():
    w = h = 80
    img = canvas(w, h)
    img = ellipse(img, (0, 0, 80, 80), rgb(PRIMARY, 26))
    img = ellipse(img, (6, 6, 74, 74), rgb(PRIMARY, 34))
    disc = Image.new("L", img.size, 0)
    ImageDraw.Draw(disc).ellipse(sc((12, 12, 68, 68)), fill=255)
    img = paint(img, disc, gradient(img.size, [(0, rgb("#5EA7FF")), (1, rgb(PRIMARY_PUSHED))], 60))
    img = polyline(img, [(27.5, 40.5), (36, 49), (53, 32)], 5.2, rgb("#FFFFFF"))
    return finish(img)


def spinner_frames(count=25):
    """The installing animation: a comet arc running round a light track with
    a download arrow that gently bobs in the middle. Frame i is turned by
    i/count of a full turn, and the bob is a whole sine period, so the last
    frame flows into the first."""
    W = H = 160
    cx, cy = 80.0, 80.0
    R, width = 66.0, 7.0
    sweep = 290.0

    base = canvas(W, H)
    base = arc(base, (cx, cy), R, 0, 360, width, rgb(TRACK))
    disc = Image.new("L", base.size, 0)
    ImageDraw.Draw(disc).ellipse(sc((cx - 46, cy - 46, cx + 46, cy + 46)), fill=255)
    base = shadow(base, disc, rgb("#1D4F9A", 46), 5, (0, 3))
    base = paint(base, disc, gradient(base.size, [(0, rgb("#FFFFFF")), (1, rgb("#F2F7FF"))], 90))

    # Pixels of the arc's band, with their angle, found once.
    band = []
    lo, hi = (R - width / 2) * S, (R + width / 2) * S
    for y in range(int((cy - R - width) * S), int((cy + R + width) * S) + 1):
        dy = y + 0.5 - cy * S
        for x in range(int((cx - R - width) * S), int((cx + R + width) * S) + 1):
            dx = x + 0.5 - cx * S
            r = math.hypot(dx, dy)
            if lo <= r <= hi:
                band.append((x, y, math.degrees(math.atan2(dy, dx)) % 360.0))
    head_color, tail_color = rgb(PRIMARY), rgb("#8CC2FF")

    frames = []
    for i in range(count):
        head = (-90.0 + 360.0 * i / count) % 360.0
        layer = Image.new("RGBA", base.size, (0, 0, 0, 0))
        px = layer.load()
        for x, y, a in band:
            behind = (head - a) % 360.0
            if behind <= sweep:
                t = 1.0 - behind / sweep
                c = mix(tail_color, head_color, t)
                px[x, y] = (c[0], c[1], c[2], int(255 * t ** 1.6))
        hx = cx + R * math.cos(math.radians(head))
        hy = cy + R * math.sin(math.radians(head))
        layer = ellipse(layer, (hx - width / 2, hy - width / 2, hx + width / 2, hy + width / 2), head_color)
        glow = Image.new("L", base.size, 0)
        ImageDraw.Draw(glow).ellipse(sc((hx - 7, hy - 7, hx + 7, hy + 7)), fill=120)
        glow = glow.filter(ImageFilter.GaussianBlur(4 * S))
        img = paint(base, glow, rgb(PRIMARY_HOT))
        img = Image.alpha_composite(img, layer)

        bob = 2.6 * math.sin(2 * math.pi * i / count)
        ay = cy - 3 + bob
        blue = rgb(PRIMARY)
        img = polyline(img, [(cx, ay - 15), (cx, ay + 8)], 4.2, blue)
        img = polyline(img, [(cx - 9, ay - 1), (cx, ay + 8), (cx + 9, ay - 1)], 4.2, blue)
        img = polyline(img, [(cx - 15, cy + 13), (cx - 15, cy + 18), (cx + 15, cy + 18), (cx + 15, cy + 13)],
                       3.4, rgb(PRIMARY_HOT))
        frames.append(finish(img))
    return frames


# ---------------------------------------------------------------------------
# res/MessageBoxWnd: 40 x 40 dialog icons.

def icon_disc(stops):
    img = canvas(40, 40)
    m, d = mask_of(40, 40)
    d.ellipse(sc((1, 1, 39, 39)), fill=255)
    img = paint(img, m, gradient(img.size, stops, 65))
    return img


BLUE_DISC = [(0, rgb("#5EA7FF")), (1, rgb(PRIMARY_PUSHED))]
AMBER_DISC = [(0, rgb(AMBER)), (1, rgb(AMBER_DEEP))]


def icon_quest():
    img = icon_disc(BLUE_DISC)
    img = paint(img, text_mask(img, "?", font("Bold", 25 * S), (20.3, 20)), rgb("#FFFFFF"))
    return finish(img)


def icon_warn():
    img = icon_disc(AMBER_DISC)
    white = rgb("#FFFFFF")
    img = polyline(img, [(20, 10.5), (20, 23)], 4, white)
    img = ellipse(img, (17.8, 26.6, 22.2, 31), white)
    return finish(img)


def icon_network():
    img = icon_disc(BLUE_DISC)
    white = rgb("#FFFFFF")
    c = (18.5, 25.5)
    img = arc(img, c, 14, 225, 315, 2.8, white)
    img = arc(img, c, 9, 225, 315, 2.8, white)
    img = ellipse(img, (c[0] - 2.4, c[1] - 2.4, c[0] + 2.4, c[1] + 2.4), white)
    # Amber badge: the connection is poor.
    img = ellipse(img, (25, 24, 38, 37), rgb("#FFFFFF"))
    img = ellipse(img, (26.4, 25.4, 36.6, 35.6), rgb(AMBER_DEEP))
    img = polyline(img, [(31.5, 27.8), (31.5, 31.2)], 1.8, white)
    img = ellipse(img, (30.5, 32.4, 32.5, 34.4), white)
    return finish(img)


# ---------------------------------------------------------------------------

def build_names():
    names = ["res/common/%sbtn%d.png" % (k, s) for k in ("min", "close") for s in (1, 2, 3)]
    names += ["res/common/closebtnM_%d.png" % s for s in (1, 2, 3)]
    names += ["res/mainWnd/bg%d.png" % p for p in (1, 2, 3, 4)] + ["res/mainWnd/logo.png"]
    for b in ("installBtn", "experienceBtn", "chDirBtn", "backBtn"):
        names += ["res/mainWnd/%s%d.png" % (b, s) for s in (1, 2, 3)]
    names += ["res/mainWnd/langCombo%d.png" % s for s in (1, 2, 3)]
    names += ["res/mainWnd/customeBtn1.png", "res/mainWnd/customeBtn2.png", "res/mainWnd/Cb1.png",
              "res/mainWnd/Cb2.png", "res/mainWnd/installDirEdit.png", "res/mainWnd/installPrg1.png",
              "res/mainWnd/installPrg2.png", "res/mainWnd/tipLbl.png", "res/mainWnd/finished.png"]
    names += ["res/mainWnd/installBtnAnimate/%03d.png" % i for i in range(25)]
    names += ["res/MessageBoxWnd/%s.png" % n for n in ("icoNetwork", "icoQuest", "icoWarn")]
    return names


def build():
    """All images as {relative path: Image}, in inventory order."""
    out = {}
    for kind in ("min", "close"):
        for s in range(3):
            out["res/common/%sbtn%d.png" % (kind, s + 1)] = title_button(kind, s)
    for s in range(3):
        out["res/common/closebtnM_%d.png" % (s + 1)] = title_button("close", s, dialog=True)

    for p in range(1, 5):
        out["res/mainWnd/bg%d.png" % p] = background(p)
    out["res/mainWnd/logo.png"] = logo()
    for s in range(3):
        out["res/mainWnd/installBtn%d.png" % (s + 1)] = pill_button(200, 46, s, INSTALL_STOPS)
    for s in range(3):
        out["res/mainWnd/experienceBtn%d.png" % (s + 1)] = pill_button(200, 46, s, EXPERIENCE_STOPS)
    for s in range(3):
        out["res/mainWnd/chDirBtn%d.png" % (s + 1)] = chdir_button(s)
    for s in range(3):
        out["res/mainWnd/backBtn%d.png" % (s + 1)] = back_button(s)
    for s in range(3):
        out["res/mainWnd/langCombo%d.png" % (s + 1)] = language_combo(s)
    for s in range(2):
        out["res/mainWnd/customeBtn%d.png" % (s + 1)] = chevron(s)
    out["res/mainWnd/Cb1.png"] = check_box(False)
    out["res/mainWnd/Cb2.png"] = check_box(True)
    out["res/mainWnd/installDirEdit.png"] = dir_edit()
    out["res/mainWnd/installPrg1.png"] = progress(False)
    out["res/mainWnd/installPrg2.png"] = progress(True)
    out["res/mainWnd/tipLbl.png"] = tip_bubble()
    out["res/mainWnd/finished.png"] = finished_mark()
    for i, frame in enumerate(spinner_frames()):
        out["res/mainWnd/installBtnAnimate/%03d.png" % i] = frame

    out["res/MessageBoxWnd/icoNetwork.png"] = icon_network()
    out["res/MessageBoxWnd/icoQuest.png"] = icon_quest()
    out["res/MessageBoxWnd/icoWarn.png"] = icon_warn()
    assert list(out) == build_names()
    return out


# ---------------------------------------------------------------------------
# --check: the layouts against the dialect the installer's layout builder
# reads, and the package's inventory.

DIALECT = {
    "Window": {"size", "caption", "roundcorner", "showshadow", "shadowsize", "shadowsharpness",
               "shadowdarkness", "shadowposition", "shadowcolor"},
    "Font": {"id", "name", "size", "default", "underline"},
    "VerticalLayout": {"name", "width", "height", "pos", "padding", "bkimage", "bkcolor", "visible"},
    "Control": {"width", "height", "pos"},
    "Label": {"name", "width", "height", "text", "textid", "autocalcwidth", "font", "textcolor", "align",
              "valign", "textpadding", "multiline", "bkimage", "visible", "padding", "pos", "userdata"},
    "Button": {"name", "width", "height", "text", "textid", "autocalcwidth", "font", "textcolor", "hottextcolor", "pushedtextcolor",
               "align", "valign", "textpadding", "bkimage", "bkcolor", "hotbkcolor", "pushedbkcolor",
               "normalimage", "hotimage", "pushedimage", "disabledimage", "borderround", "bordersize",
               "bordercolor", "pushedbordercolor", "pos"},
    "Edit": {"name", "width", "textcolor", "textpadding", "bkimage", "bkcolor"},
    "Progress": {"name", "width", "bkimage", "foreimage", "isstretchfore"},
    "SequenceLabel": {"name", "width", "height", "sequencebkimage", "sequencecount", "sequenceround",
                      "sequencespan", "autostart"},
}
DIALECT["HorizontalLayout"] = DIALECT["TabLayout"] = DIALECT["VerticalLayout"]
DIALECT["CheckBox"] = DIALECT["Button"] | {"selected", "selectedtextcolor", "selectedimage"}
DIALECT["Combo"] = DIALECT["Button"] | {"itemheight", "itemtextcolor", "itemhotbkcolor", "itembkcolor"}
IMAGE_ATTRS = {"bkimage", "normalimage", "hotimage", "pushedimage", "disabledimage", "selectedimage",
               "foreimage"}
IMAGE_KEYS = {"file", "dest", "corner", "mask", "fade", "hole", "xtiled", "ytiled"}

LAYOUTS = {
    "mainWnd.xml": ["winCtn", "titleTabLt", "mainTabLt", "backBtn", "titleGrpCtn", "minbtn", "closebtn",
                    "defaultInstallBtn", "customeBtn", "tipLbl", "treatyCb", "treatyBtn", "installDirEdit",
                    "chDirBtn", "createDSCb", "createQSCb", "customeInstallBtn", "progressAnLb", "progressLb",
                    "installPrg", "openProduceBtn", "languageCombo", "lbLanguage", "lbInstallPath"],
    "MessageBox1Wnd.xml": ["captionLbl", "textLbl", "closebtn"],
    "MessageBox2Wnd.xml": ["captionLbl", "textLbl", "closebtn"],
    "NetworkTipWnd.xml": ["captionLbl", "textLbl", "closebtn", "okBtn", "cancelBtn"],
    "exitTipWnd.xml": ["captionLbl", "textLbl", "closebtn", "okBtn", "cancelBtn"],
    "InstalledPathTipWnd.xml": ["captionLbl", "textLbl", "closebtn", "okBtn", "cancelBtn"],
}


def image_refs(value):
    """(file, dest) of an image attribute: a plain path or a quoted modifier list."""
    if "'" not in value:
        return value, None
    import re
    pairs = dict(re.findall(r"(\w+)='([^']*)'", value))
    unknown = set(pairs) - IMAGE_KEYS
    if unknown:
        raise ValueError("unknown image keys %s" % sorted(unknown))
    return pairs.get("file"), pairs.get("dest")


def check(skin):
    import xml.etree.ElementTree as ET
    problems = []
    files = sorted(os.path.relpath(os.path.join(d, f), skin).replace(os.sep, "/")
                   for d, _, fs in os.walk(skin) for f in fs)
    lower = {f.lower(): f for f in files}
    expected = set(LAYOUTS) | {"project.skinproj", "language.json"} | set(build_names())
    if set(files) != expected:
        problems.append("package files differ: extra %s, missing %s"
                        % (sorted(set(files) - expected), sorted(expected - set(files))))
    for layout, names in LAYOUTS.items():
        root = ET.parse(os.path.join(skin, layout)).getroot()
        if root.tag != "Window":
            problems.append("%s: root is %s" % (layout, root.tag))
        seen = set()
        for el in root.iter():
            if el.tag not in DIALECT:
                problems.append("%s: element %s is not in the dialect" % (layout, el.tag))
                continue
            for attr, value in el.attrib.items():
                if attr not in DIALECT[el.tag]:
                    problems.append("%s: %s has attribute %s" % (layout, el.tag, attr))
                if attr in IMAGE_ATTRS:
                    try:
                        path, dest = image_refs(value)
                    except ValueError as e:
                        problems.append("%s: %s" % (layout, e))
                        continue
                    rel = (path or "").replace("\\", "/")
                    if rel.lower() not in lower:
                        problems.append("%s: %s names missing image %s" % (layout, attr, path))
                        continue
                    w, h = Image.open(os.path.join(skin, lower[rel.lower()])).size
                    if dest:
                        x0, y0, x1, y1 = (int(v) for v in dest.split(","))
                        if (x1 - x0, y1 - y0) != (w, h):
                            problems.append("%s: %s is %dx%d but drawn at %s" % (layout, path, w, h, dest))
                    elif "width" in el.attrib and "height" in el.attrib and el.tag != "VerticalLayout":
                        if (int(el.attrib["width"]), int(el.attrib["height"])) != (w, h):
                            problems.append("%s: %s is %dx%d but its control %sx%s"
                                            % (layout, path, w, h, el.attrib["width"], el.attrib["height"]))
            if "name" in el.attrib:
                seen.add(el.attrib["name"])
            if el.tag == "SequenceLabel":
                pattern = el.attrib["sequencebkimage"].replace("\\", "/")
                for i in range(int(el.attrib["sequencecount"])):
                    if (pattern % i).lower() not in lower:
                        problems.append("%s: missing frame %s" % (layout, pattern % i))
        for n in names:
            if n not in seen:
                problems.append("%s: no control named %s" % (layout, n))
    print("generate.py: %d files in %s" % (len(files), os.path.relpath(skin)))
    for p in problems:
        print("  " + p)
    return not problems


def save(img, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    # No text chunks, no time stamp: the bytes depend on the pixels only.
    img.save(path, format="PNG", optimize=False, compress_level=9)


def checker(w, h, cell=8):
    img = Image.new("RGBA", (w, h), rgb("#FFFFFF"))
    d = ImageDraw.Draw(img)
    for y in range(0, h, cell):
        for x in range(0, w, cell):
            if (x // cell + y // cell) % 2:
                d.rectangle((x, y, x + cell - 1, y + cell - 1), fill=rgb("#E4E7EC"))
    return img


def contact_sheet(images, path):
    """Every image on a checkerboard, labelled with its file name. Images of
    48 pixels or less are also shown three times larger, pixel for pixel;
    the page backgrounds are shown at half size."""
    W = 1360
    margin, gap = 32, 22
    label_font = font("Regular", 12)
    note_font = font("Regular", 11)
    head_font = font("SemiBold", 17)
    title_font = font("SemiBold", 24)

    groups = [
        ("res/common", lambda p: p.startswith("res/common/")),
        ("res/mainWnd", lambda p: p.startswith("res/mainWnd/") and "installBtnAnimate" not in p),
        ("res/mainWnd/installBtnAnimate", lambda p: "installBtnAnimate" in p),
        ("res/MessageBoxWnd", lambda p: p.startswith("res/MessageBoxWnd/")),
    ]

    def tile(name, img):
        w, h = img.size
        if name.startswith("res/mainWnd/bg"):
            shown = img.resize((w // 2, h // 2), Image.LANCZOS)
            note = "%d x %d, shown at 1/2" % (w, h)
        elif max(w, h) <= 48:
            big = img.resize((w * 3, h * 3), Image.NEAREST)
            shown = Image.new("RGBA", (w + 10 + w * 3, h * 3), (0, 0, 0, 0))
            shown.alpha_composite(img, (0, 0))
            shown.alpha_composite(big, (w + 10, 0))
            note = "%d x %d, and x3" % (w, h)
        else:
            shown = img
            note = "%d x %d" % (w, h)
        return shown, note

    # Lay out first, then draw.
    rows = []  # (group title, [(name, shown, note, x, y)])
    y = margin + 44
    placed = []
    for title, match in groups:
        names = [n for n in images if match(n)]
        placed.append(("head", title, margin, y))
        y += 30
        x, row_h = margin, 0
        for n in names:
            shown, note = tile(n, images[n])
            cw = max(shown.size[0] + 12, 150)
            ch = shown.size[1] + 12 + 36
            if x + cw > W - margin:
                x, y = margin, y + row_h + gap
                row_h = 0
            placed.append(("img", n, x, y, shown, note, cw))
            x += cw + gap
            row_h = max(row_h, ch)
        y += row_h + gap + 10
    H = y + margin

    sheet = Image.new("RGBA", (W, H), rgb("#F1F3F6"))
    d = ImageDraw.Draw(sheet)
    d.text((margin, margin - 4), "Talvorin skin: %d images" % len(images), font=title_font, fill=rgb(INK))
    for item in placed:
        if item[0] == "head":
            _, title, x, y = item
            d.text((x, y), title, font=head_font, fill=rgb(MUTED))
            continue
        _, name, x, y, shown, note, cw = item
        sw, sh = shown.size
        d.rounded_rectangle((x, y, x + cw, y + sh + 12), radius=6, fill=rgb("#FFFFFF"), outline=rgb("#D9DEE6"))
        bx = x + (cw - sw) // 2
        sheet.alpha_composite(checker(sw, sh), (bx, y + 6))
        sheet.alpha_composite(shown, (bx, y + 6))
        d.text((x + 2, y + sh + 17), os.path.basename(name), font=label_font, fill=rgb(INK))
        d.text((x + 2, y + sh + 33), note, font=note_font, fill=rgb(FAINT))
    save(sheet.convert("RGB"), path)


def main():
    ap = argparse.ArgumentParser(description="Draw the skin's images into skin/res.")
    ap.add_argument("--contact-sheet", metavar="PNG", help="also write a labelled sheet of all images")
    ap.add_argument("--out", default=SKIN, help="skin folder to write into (default: %(default)s)")
    ap.add_argument("--check", action="store_true",
                    help="draw nothing; check the layouts and the package's files and exit")
    args = ap.parse_args()
    if args.check:
        sys.exit(0 if check(args.out) else 1)

    images = build()
    for rel, img in images.items():
        save(img, os.path.join(args.out, *rel.split("/")))
    print("generate.py: wrote %d images under %s" % (len(images), os.path.relpath(args.out)))
    if args.contact_sheet:
        contact_sheet(images, args.contact_sheet)
        print("generate.py: wrote %s" % args.contact_sheet)


if __name__ == "__main__":
    main()
