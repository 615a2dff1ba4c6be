#!/usr/bin/python3
"""Draws every image MiniSetup carries: the PNG resources of the setup window
(each at its size and in its PNG colour type), the twelve tray animation icons
and the program icon (BMP entries for older Windows, a PNG entry for large
sizes). Also writes Images.rc, the resource script lines that embed them.

Usage: gen_art.py OUTDIR
Needs Debian's python3-pil and fonts-dejavu-core. Everything is drawn here:
shapes are rendered four times larger and scaled down for soft edges."""
import io
import math
import os
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

SS = 4  # supersampling factor
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

WHITE = (255, 255, 255, 255)
CYAN = (0x56, 0xD5, 0xFF, 255)


# ---------------------------------------------------------------- helpers

def canvas(w, h, colour=(0, 0, 0, 0)):
    """A supersampled RGBA canvas and its drawing context."""
    img = Image.new("RGBA", (w * SS, h * SS), colour)
    return img, ImageDraw.Draw(img)


def down(img, w, h):
    return img.resize((w, h), Image.LANCZOS)


def s(*values):
    """Scales coordinates to the supersampled canvas."""
    return [v * SS for v in values]


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def vertical_gradient(w, h, top, bottom):
    img = Image.new("RGBA", (w, h))
    px = img.load()
    for y in range(h):
        c = lerp(top, bottom, y / max(1, h - 1))
        for x in range(w):
            px[x, y] = c
    return img


def rounded_mask(w, h, radius):
    img, d = canvas(w, h)
    d.rounded_rectangle(s(0, 0, w, h), radius=radius * SS, fill=WHITE)
    return down(img, w, h).getchannel("A")


def glow_disc(size, alpha):
    """A soft white disc fading out towards its rim."""
    img = Image.new("L", (size, size), 0)
    px = img.load()
    r = size / 2
    for y in range(size):
        for x in range(size):
            d = math.hypot(x + 0.5 - r, y + 0.5 - r) / r
            if d < 1:
                px[x, y] = int(alpha * (1 - d) ** 1.6)
    return img


def paste_light(base, disc_alpha, cx, cy):
    white = Image.new("RGBA", disc_alpha.size, WHITE)
    white.putalpha(disc_alpha)
    base.alpha_composite(white, (int(cx - disc_alpha.width / 2), int(cy - disc_alpha.height / 2)))


def with_alpha(img, alpha):
    out = img.copy()
    out.putalpha(ImageChops.multiply(img.getchannel("A"), Image.new("L", img.size, alpha)))
    return out


def shifted(img, dx, dy):
    out = Image.new(img.mode, img.size, (0, 0, 0, 0))
    out.paste(img, (dx, dy))
    return out


# ---------------------------------------------------------------- window art

def background():
    w, h = 620, 340
    img = Image.new("RGBA", (w, h))
    px = img.load()
    top_left, bottom_right = (0x2B, 0x8C, 0xF0), (0x0A, 0x3C, 0x9A)
    for y in range(h):
        for x in range(w):
            t = min(1.0, (x / w) * 0.45 + (y / h) * 0.75)
            px[x, y] = lerp(top_left, bottom_right, t) + (255,)
    for cx, cy, size, alpha in [(90, 40, 300, 46), (560, 300, 360, 40), (470, 60, 180, 30),
                                (250, 330, 220, 28), (40, 280, 140, 22)]:
        paste_light(img, glow_disc(size, alpha), cx, cy)
    # a hairline frame keeps the window's edge visible on a blue desktop
    d = ImageDraw.Draw(img)
    d.rectangle([0, 0, w - 1, h - 1], outline=(0x08, 0x30, 0x7C, 255))
    return img


def panel():
    w, h = 620, 47
    img = vertical_gradient(w, h, (0x3B, 0x8F, 0xE6, 255), (0x2E, 0x7C, 0xD4, 255))
    d = ImageDraw.Draw(img)
    d.line([0, 0, w, 0], fill=(0x6F, 0xB3, 0xF5, 255))
    d.line([0, h - 1, w, h - 1], fill=(0x08, 0x30, 0x7C, 255))
    d.line([0, 0, 0, h], fill=(0x08, 0x30, 0x7C, 255))
    d.line([w - 1, 0, w - 1, h], fill=(0x08, 0x30, 0x7C, 255))
    return img


def download_arrow(img, d, cx, top, scale=1.0):
    """A fat white arrow pointing down, drawn on a supersampled canvas."""
    shaft_w, shaft_h, head_w, head_h = 6 * scale, 8 * scale, 16 * scale, 8 * scale
    d.rectangle(s(cx - shaft_w / 2, top, cx + shaft_w / 2, top + shaft_h), fill=WHITE)
    d.polygon([tuple(s(cx - head_w / 2, top + shaft_h)), tuple(s(cx + head_w / 2, top + shaft_h)),
               tuple(s(cx, top + shaft_h + head_h))], fill=WHITE)


def arrow_strip():
    """Four 32 x 29 frames: the arrow drops towards an open tray."""
    frames = []
    for k in range(4):
        img, d = canvas(32, 29)
        download_arrow(img, d, 16, 2 + 2 * k)
        d.line([tuple(s(5, 19)), tuple(s(5, 25)), tuple(s(27, 25)), tuple(s(27, 19))], fill=WHITE, width=3 * SS,
               joint="curve")
        frames.append(down(img, 32, 29))
    strip = Image.new("RGBA", (128, 29), (0, 0, 0, 0))
    for k, f in enumerate(frames):
        strip.paste(f, (32 * k, 0))
    return strip


def install_button(top, bottom, edge):
    w, h = 172, 51
    body = vertical_gradient(w, h, top, bottom)
    mask = rounded_mask(w, h, 6)
    img, d = canvas(w, h)
    d.rounded_rectangle(s(0.5, 0.5, w - 0.5, h - 0.5), radius=6 * SS, outline=edge, width=SS)
    outline = down(img, w, h)
    body.putalpha(mask)
    body.alpha_composite(outline)
    # a soft highlight on the upper half and a divider after the arrow
    hl = Image.new("RGBA", (w, h), (255, 255, 255, 0))
    hd = ImageDraw.Draw(hl)
    for y in range(2, h // 2):
        hd.line([3, y, w - 4, y], fill=(255, 255, 255, int(38 * (1 - y / (h / 2)))))
    hd.line([74, 10, 74, h - 11], fill=(255, 255, 255, 70))
    hl.putalpha(ImageChops.multiply(hl.getchannel("A"), mask))
    body.alpha_composite(hl)
    return body


def title_button(w, h, glyph, backdrop):
    """Minimise or close: a white glyph, optionally over a backdrop."""
    img, d = canvas(w, h, backdrop)
    cx, cy = w / 2, h / 2
    if glyph == "minus":
        x0, y0 = int(cx) - 5, int(cy)
        d.rectangle(s(x0, y0, x0 + 10, y0 + 1), fill=WHITE)
    else:
        for sign in (1, -1):
            d.line([tuple(s(cx - 4.5, cy - 4.5 * sign)), tuple(s(cx + 4.5, cy + 4.5 * sign))], fill=WHITE,
                   width=int(1.6 * SS))
    return down(img, w, h)


def progress_line(colour, alpha):
    img, d = canvas(17, 17)
    d.rounded_rectangle(s(0, 6.5, 17, 10.5), radius=2 * SS, fill=colour + (alpha,))
    return down(img, 17, 17)


def progress_shine():
    w, h = 71, 17
    img = Image.new("RGBA", (w, h), (255, 255, 255, 0))
    px = img.load()
    for y in range(h):
        v = math.exp(-((y - 8.5) / 3.0) ** 2)
        for x in range(w):
            u = (x / (w - 1)) ** 2.2
            px[x, y] = (255, 255, 255, int(210 * u * v))
    return img


def check_box(border, tick):
    w, h = 17, 15
    img, d = canvas(w, h)
    d.rounded_rectangle(s(1.5, 0.5, 15.5, 14.5), radius=2 * SS, fill=WHITE, outline=border, width=SS)
    if tick:
        d.line([tuple(s(4.5, 7.5)), tuple(s(7.2, 10.5)), tuple(s(12.5, 4))], fill=(0x2F, 0xB3, 0x45, 255),
               width=2 * SS, joint="curve")
    return down(img, w, h)


def chevron(up):
    img, d = canvas(8, 6)
    pts = [(1, 1.5), (4, 4.5), (7, 1.5)] if not up else [(1, 4.5), (4, 1.5), (7, 4.5)]
    d.line([tuple(s(*p)) for p in pts], fill=CYAN, width=int(1.5 * SS), joint="curve")
    return down(img, 8, 6)


def folder(alpha, dx=0, dy=0):
    w, h = 26, 21
    img, d = canvas(w, h)
    ox, oy = 4 + dx, 4 + dy
    d.polygon([tuple(s(ox, oy)), tuple(s(ox + 7, oy)), tuple(s(ox + 9, oy + 2)), tuple(s(ox + 18, oy + 2)),
               tuple(s(ox + 18, oy + 13)), tuple(s(ox, oy + 13))], fill=(255, 255, 255, alpha))
    d.rectangle(s(ox + 1, oy + 5, ox + 17, oy + 6), fill=(255, 255, 255, alpha // 3))
    return down(img, w, h)


def triangle(alpha, dy=0):
    img, d = canvas(10, 6)
    d.polygon([tuple(s(1, 0.5 + dy)), tuple(s(9, 0.5 + dy)), tuple(s(5, 5.5 + dy))], fill=(255, 255, 255, alpha))
    return down(img, 10, 6)


def badge(colour, mark):
    img, d = canvas(12, 12)
    d.ellipse(s(0.3, 0.3, 11.7, 11.7), fill=colour)
    if mark == "!":
        d.rounded_rectangle(s(5.1, 2.2, 6.9, 7.6), radius=SS, fill=WHITE)
        d.ellipse(s(5.05, 8.4, 6.95, 10.3), fill=WHITE)
    else:
        d.line([tuple(s(3, 6.2)), tuple(s(5.2, 8.5)), tuple(s(9, 3.8))], fill=WHITE, width=int(1.6 * SS),
               joint="curve")
    return down(img, 12, 12)


def bubble():
    w, h = 205, 34
    body_bottom, pointer_x = 27, 14
    img, d = canvas(w, h)
    shape = [s(0.5, 0.5, w - 0.5, body_bottom)]
    d.rounded_rectangle(shape[0], radius=5 * SS, fill=(0xFF, 0xFF, 0xFF, 250), outline=(0xE2, 0xC9, 0xA6, 255),
                        width=SS)
    tri = [tuple(s(pointer_x, body_bottom - 1)), tuple(s(pointer_x + 10, body_bottom - 1)),
           tuple(s(pointer_x + 2, h - 0.5))]
    d.polygon(tri, fill=(0xFF, 0xFF, 0xFF, 250))
    d.line([tri[1], tri[2]], fill=(0xE2, 0xC9, 0xA6, 255), width=SS)
    d.line([tuple(s(pointer_x, body_bottom - 0.5)), tri[2]], fill=(0xE2, 0xC9, 0xA6, 255), width=SS)
    shadow = down(img, w, h)
    soft = shadow.getchannel("A").filter(ImageFilter.GaussianBlur(1.2))
    out = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    out.putalpha(soft.point(lambda a: a // 6))
    out.alpha_composite(shadow)
    return out


def logo():
    """The Brisko mark (a white disc holding a blue lightning bolt) and the name."""
    w, h = 299, 82
    img, d = canvas(w, h)
    cx, cy, r = 41, 41, 34
    d.ellipse(s(cx - r, cy - r, cx + r, cy + r), fill=WHITE)
    d.ellipse(s(cx - r + 5, cy - r + 5, cx + r - 5, cy + r - 5), fill=(255, 255, 255, 0))
    bolt = [(cx + 4, cy - 22), (cx - 12, cy + 3), (cx - 1, cy + 3), (cx - 5, cy + 22), (cx + 12, cy - 4),
            (cx + 1, cy - 4)]
    d.polygon([tuple(s(*p)) for p in bolt], fill=WHITE)
    font = ImageFont.truetype(FONT_BOLD, 46 * SS)
    d.text(tuple(s(92, 41)), "Brisko", font=font, fill=WHITE, anchor="lm")
    small = ImageFont.truetype(FONT_BOLD, 11 * SS)
    d.text(tuple(s(95, 70)), "N U V E X", font=small, fill=(255, 255, 255, 200), anchor="lm")
    return down(img, w, h)


# ---------------------------------------------------------------- icons

def tray_frame(k):
    """A blue disc with a white arrow that moves down over twelve frames."""
    img, d = canvas(16, 16)
    d.ellipse(s(0.5, 0.5, 15.5, 15.5), fill=(0x1E, 0x78, 0xE6, 255), outline=(0x0B, 0x4B, 0xA8, 255), width=SS)
    arrow, ad = canvas(16, 16)
    top = -9 + k * 1.75
    download_arrow(arrow, ad, 8, top, scale=0.62)
    ad.rectangle(s(4, top + 11.5, 12, top + 12.6), fill=WHITE)
    mask, md = canvas(16, 16)
    md.ellipse(s(2, 2, 14, 14), fill=WHITE)
    arrow.putalpha(ImageChops.multiply(arrow.getchannel("A"), mask.getchannel("A")))
    img.alpha_composite(arrow)
    return down(img, 16, 16)


def program_icon(size):
    img, d = canvas(size, size)
    r = max(2, size / 5)
    top, bottom = (0x2B, 0x8C, 0xF0), (0x0A, 0x3C, 0x9A)
    grad = vertical_gradient(size * SS, size * SS, top + (255,), bottom + (255,))
    d.rounded_rectangle(s(0, 0, size, size), radius=r * SS, fill=WHITE)
    grad.putalpha(img.getchannel("A"))
    g = ImageDraw.Draw(grad)
    u = size / 32
    download_arrow(grad, g, size / 2, 5 * u, scale=1.05 * u)
    g.rounded_rectangle(s(7 * u, 23.5 * u, 25 * u, 26.5 * u), radius=u * SS, fill=WHITE)
    return down(grad, size, size)


def bmp_entry(img):
    """An icon image in the classic form: BGRA rows bottom-up and an AND mask."""
    w, h = img.size
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    px = img.load()
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = px[x, y]
            xor += bytes((b, g, r, a))
    row_bytes = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(w):
            if px[x, y][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(xor) + bytes(mask)


def png_bytes(img):
    buf = io.BytesIO()
    img.save(buf, "PNG", optimize=True)
    return buf.getvalue()


def write_ico(path, images, png_sizes=()):
    entries = []
    for img in images:
        data = png_bytes(img) if img.size[0] in png_sizes else bmp_entry(img)
        entries.append((img.size[0], data))
    offset = 6 + 16 * len(entries)
    out = struct.pack("<HHH", 0, 1, len(entries))
    for size, data in entries:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(data for _, data in entries))


# ---------------------------------------------------------------- colour types

def as_grey_alpha(img):
    """Grey + alpha (PNG colour type 4); our grey art is white or black."""
    grey = img.convert("L")
    out = Image.merge("LA", (grey, img.getchannel("A")))
    return out


def as_palette(img, transparent):
    """Palette PNG (colour type 3), with a tRNS chunk only when asked."""
    if not transparent:
        return img.convert("RGB").quantize(colors=64, method=Image.Quantize.MEDIANCUT)
    colours = {}
    indices = []
    for p in img.getdata():
        key = (0, 0, 0, 0) if p[3] == 0 else p
        if key not in colours:
            colours[key] = len(colours)
        indices.append(colours[key])
    if len(colours) > 256:
        raise SystemExit("palette image has too many colours")
    out = Image.new("P", img.size)
    flat = []
    for colour in colours:
        flat += colour[:3]
    out.putpalette(flat + [0] * (768 - len(flat)))
    out.putdata(indices)
    out.info["transparency"] = bytes(c[3] for c in colours)
    return out


def image_table():
    """Resource id -> (image, PNG mode). Modes: RGBA, LA, P (opaque), PT (palette + tRNS)."""
    red_light, red_dark = (0xE8, 0x4B, 0x4F, 255), (0xB0, 0x17, 0x22, 255)
    green = ((0x4C, 0xD9, 0x5F, 255), (0x2A, 0xAE, 0x41, 255), (0x22, 0x93, 0x37, 255))
    return {
        2011: (background(), "RGBA"),
        2012: (arrow_strip(), "LA"),
        2013: (panel(), "RGBA"),
        2021: (install_button(green[0], green[1], green[2]), "RGBA"),
        2022: (install_button((0x6A, 0xE6, 0x7B, 255), (0x3C, 0xC6, 0x55, 255), (0x2E, 0xA8, 0x44, 255)), "RGBA"),
        2023: (shifted(install_button((0x2F, 0xB5, 0x45, 255), (0x22, 0x90, 0x36, 255), (0x1A, 0x75, 0x2B, 255)),
                       0, 1), "RGBA"),
        2024: (install_button((0xB8, 0xC0, 0xC8, 255), (0x98, 0xA2, 0xAC, 255), (0x88, 0x92, 0x9C, 255)), "RGBA"),
        2031: (title_button(31, 23, "minus", (0, 0, 0, 0)), "LA"),
        2032: (title_button(31, 23, "minus", (255, 255, 255, 48)), "LA"),
        2033: (title_button(31, 23, "minus", (0, 0, 0, 56)), "LA"),
        2041: (title_button(45, 23, "cross", (0, 0, 0, 0)), "LA"),
        2042: (title_button(45, 23, "cross", red_light), "P"),
        2043: (title_button(45, 23, "cross", red_dark), "P"),
        2051: (progress_line((0x06, 0x26, 0x5E), 170), "RGBA"),
        2052: (progress_line((0x7F, 0xE3, 0xFF), 255), "RGBA"),
        2053: (progress_shine(), "RGBA"),
        2061: (check_box((0xA8, 0xB4, 0xC4, 255), True), "RGBA"),
        2062: (check_box((0x2F, 0xB3, 0x45, 255), True), "RGBA"),
        2071: (check_box((0xA8, 0xA8, 0xA8, 255), False), "LA"),
        2072: (check_box((0x2F, 0xB3, 0x45, 255), False), "RGBA"),
        2081: (chevron(False), "RGBA"),
        2082: (chevron(True), "RGBA"),
        2091: (folder(150), "LA"),
        2092: (folder(255), "LA"),
        2093: (folder(255, 1, 1), "LA"),
        2094: (triangle(150), "RGBA"),
        2095: (triangle(255), "RGBA"),
        2096: (triangle(255, 1), "RGBA"),
        2097: (badge((0xF2, 0x8B, 0x1E, 255), "!"), "RGBA"),
        2098: (badge((0x2F, 0xB3, 0x45, 255), "tick"), "PT"),
        2099: (bubble(), "RGBA"),
        2110: (badge((0xFF, 0xB0, 0x5C, 255), "!"), "RGBA"),
        2151: (logo(), "RGBA"),
    }


def save_png(img, mode, path):
    if mode == "LA":
        img = as_grey_alpha(img)
    elif mode == "P":
        img = as_palette(img, transparent=False)
    elif mode == "PT":
        img = as_palette(img, transparent=True)
    img.save(path, "PNG", optimize=True)


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    out = sys.argv[1]
    os.makedirs(os.path.join(out, "png"), exist_ok=True)
    os.makedirs(os.path.join(out, "icons"), exist_ok=True)
    rc = ["// Generated by scripts/gen_art.py: the images of the setup window.",
          "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US", ""]
    for rid, (img, mode) in sorted(image_table().items()):
        path = os.path.join(out, "png", "%d.png" % rid)
        save_png(img, mode, path)
        rc.append('%d PNGRES "%s"' % (rid, path))
    rc.append("")
    for k in range(12):
        path = os.path.join(out, "icons", "tray_%d.ico" % (1131 + k))
        write_ico(path, [tray_frame(k)])
        rc.append('%d ICON "%s"' % (1131 + k, path))
    write_ico(os.path.join(out, "MiniSetup.ico"), [program_icon(n) for n in (16, 24, 32, 48, 256)],
              png_sizes=(256,))
    with open(os.path.join(out, "Images.rc"), "w") as f:
        f.write("\n".join(rc) + "\n")


if __name__ == "__main__":
    main()
