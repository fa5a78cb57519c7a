#!/usr/bin/env python3
"""Draws a dialog template of resources/dialog_templates.cpp to a PNG, to look at its layout.

    scripts/render_layout.py [--dialog main|about] [--scale 2] [-o layout.png]

Controls are drawn as rectangles with their captions at the pixel size of the template's 8-point
font at 96 DPI (1 dialog unit = 1.5 px across, 1.625 px down), times the scale. Fields show their
id in grey. With Pillow the captions and list entries are also measured with the CJK font and every
text wider than its control is listed on stdout; without it ImageMagick's convert draws the picture.
"""

import argparse
import pathlib
import re
import shutil
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCE = ROOT / "resources" / "dialog_templates.cpp"
FONT = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"
FONT_PX = 8 * 96 / 72  # the template font at 96 DPI

ROW = re.compile(
    r'\{\s*(IDOK|IDCANCEL|IDC_STATIC|\d+),\s*K::(\w+),\s*"((?:[^"\\]|\\.)*)",\s*(\d+),\s*(\d+),'
    r'\s*(\d+),\s*(\d+),\s*([^,]+),\s*(\{\}|\w+),\s*(nullptr|"[^"]*")\s*\}', re.S)
LIST = re.compile(r'const char\* const (\w+)\[\] = \{(.*?)\};', re.S)
ARRAY = {"main": "kMainControls", "about": "kAboutControls"}
SIZE = re.compile(r'\{\s*IDD_(MAIN|ABOUTBOX),\s*"[^"]*",\s*(\d+),\s*(\d+),')


def load(dialog):
    text = SOURCE.read_text(encoding="utf-8")
    lists = {name: re.findall(r'"([^"]*)"', body) for name, body in LIST.findall(text)}
    start = text.index(f"const ControlTemplate {ARRAY[dialog]}[] = {{")
    body = text[start:text.index("\n};", start)]
    controls = []
    for m in ROW.finditer(body):
        ident, kind, caption, x, y, cx, cy, style, entries, _ = m.groups()
        controls.append({"id": ident, "kind": kind, "text": caption.replace('\\"', '"'),
                         "rect": tuple(int(v) for v in (x, y, cx, cy)),
                         "hidden": "kHidden" in style, "entries": lists.get(entries, [])})
    sizes = {name: (int(cx), int(cy)) for name, cx, cy in SIZE.findall(text)}
    return controls, sizes["MAIN" if dialog == "main" else "ABOUTBOX"]


def to_px(rect, scale):
    x, y, cx, cy = rect
    return (round(x * 1.5 * scale), round(y * 1.625 * scale),
            round((x + cx) * 1.5 * scale), round((y + cy) * 1.625 * scale))


def text_room(c, scale):
    """Pixels a control leaves for its caption or its widest entry."""
    left, _, right, _ = to_px(c["rect"], scale)
    room = right - left
    if c["kind"] in ("DropList", "DropDown"):
        room -= 18 * scale  # the arrow
    elif c["kind"] in ("PushButton", "DefPushButton", "Edit"):
        room -= 6 * scale  # frame and margins
    elif c["kind"] == "GroupBox":
        room -= 10 * scale  # the caption sits inside the frame's corner
    return room


def render_pillow(controls, size, scale, out):
    from PIL import Image, ImageDraw, ImageFont
    font = ImageFont.truetype(FONT, round(FONT_PX * scale))
    small = ImageFont.truetype(FONT, round(FONT_PX * scale * 0.7))
    image = Image.new("RGB", to_px((0, 0) + size, scale)[2:], "#ece9d8")
    draw = ImageDraw.Draw(image)
    overflows = []
    for c in controls:
        if c["hidden"]:
            continue
        box = to_px(c["rect"], scale)
        kind = c["kind"]
        if kind == "GroupBox":
            draw.rectangle((box[0], box[1] + 4 * scale, box[2], box[3]), outline="#808080")
            width = draw.textlength(c["text"], font=font)
            draw.rectangle((box[0] + 5 * scale, box[1], box[0] + 5 * scale + width, box[1] + 8 * scale),
                           fill="#ece9d8")
            draw.text((box[0] + 5 * scale, box[1] - 3 * scale), c["text"], fill="black", font=font)
        elif kind == "Label":
            draw.rectangle(box, outline="#d8d4c0")
            draw.text((box[0], box[1] - 2 * scale), c["text"], fill="black", font=font)
        elif kind in ("PushButton", "DefPushButton"):
            draw.rectangle(box, fill="#d4d0c8", outline="black")
            draw.text(((box[0] + box[2]) / 2, (box[1] + box[3]) / 2), c["text"], fill="black",
                      font=font, anchor="mm")
        elif kind == "Icon":
            draw.rectangle(box, fill="#4060a0")
        else:
            draw.rectangle(box, fill="white", outline="#404040")
            if kind in ("DropList", "DropDown"):
                draw.rectangle((box[2] - 10 * scale, box[1], box[2], box[3]), fill="#d4d0c8",
                               outline="#404040")
            shown = c["entries"][0] if c["entries"] else c["id"]
            draw.text((box[0] + 3 * scale, box[1]), shown, fill="#808080", font=small)
        widest = max([draw.textlength(t, font=font) for t in [c["text"]] + c["entries"]])
        if kind != "Edit" and widest > text_room(c, scale):
            overflows.append(f'{c["id"]} {kind} "{c["text"]}" needs {widest / scale:.0f} px, '
                             f'has {text_room(c, scale) / scale:.0f} px')
    image.save(out)
    return overflows


def render_convert(controls, size, scale, out):
    width, height = to_px((0, 0) + size, scale)[2:]
    commands = ["-size", f"{width}x{height}", "xc:#ece9d8", "-font", FONT,
                "-pointsize", str(round(FONT_PX * scale * 0.75)), "-fill", "none"]
    for c in controls:
        if c["hidden"]:
            continue
        x0, y0, x1, y1 = to_px(c["rect"], scale)
        fill = {"GroupBox": "none", "Label": "none", "PushButton": "#d4d0c8",
                "DefPushButton": "#d4d0c8", "Icon": "#4060a0"}.get(c["kind"], "white")
        commands += ["-stroke", "#606060", "-fill", fill, "-draw", f"rectangle {x0},{y0} {x1},{y1}",
                     "-stroke", "none", "-fill", "black"]
        caption = c["text"] or (c["entries"][0] if c["entries"] else c["id"])
        escaped = caption.replace("\\", "\\\\").replace("'", "\\'")
        commands += ["-draw", f"text {x0 + 2 * scale},{y1 - 3 * scale} '{escaped}'"]
    subprocess.run(["convert", *commands, str(out)], check=True)
    return []


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dialog", choices=sorted(ARRAY), default="main")
    parser.add_argument("--scale", type=float, default=2.0)
    parser.add_argument("-o", "--output", default="layout.png")
    args = parser.parse_args()
    controls, size = load(args.dialog)
    try:
        import PIL  # noqa: F401
        overflows = render_pillow(controls, size, args.scale, args.output)
    except ImportError:
        if shutil.which("convert") is None:
            sys.exit("render_layout: needs Pillow (python3-pil) or ImageMagick's convert")
        overflows = render_convert(controls, size, args.scale, args.output)
    print(f"{args.output}: {len(controls)} controls, {size[0]} x {size[1]} dialog units")
    for line in overflows:
        print("text wider than its control:", line)
    return 1 if overflows else 0


if __name__ == "__main__":
    sys.exit(main())
