#!/usr/bin/env python3
"""One picture of the installer in all fourteen languages: the start page, the
custom page and the exit question of each, side by side, at half size.

The pictures come from the language test, which renders them with the real
window and the real dialogs:

    TALVORIN_SCREENSHOT_DIR=/tmp/lang build/linux/bin/talvorin_tests \\
        --gtest_filter='LanguageFitTest.EveryTextFits*'
    python3 tools/skin-images/language_sheet.py /tmp/lang docs/screenshots/languages.png
"""
import argparse
import os
import sys

try:
    from PIL import Image, ImageDraw, ImageFont
except ImportError:
    # As generate.py: Debian's Python has python3-pil when another one shadows it.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != os.path.realpath("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    sys.exit("language_sheet.py: Pillow is missing; install Debian's package: apt-get install python3-pil")

LOCALES = ["en-US", "zh-CN", "zh-TW", "id-ID", "tr-TR", "de-DE", "fr-FR", "es-ES", "pt-PT", "ja-JP",
           "ko-KR", "pl-PL", "nl-NL", "it-IT"]
PARTS = ["page0", "page1", "exit"]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("folder", help="where the lang-<locale>-<part>.png pictures are")
    ap.add_argument("output", help="the sheet to write")
    args = ap.parse_args()
    rows = []
    for locale in LOCALES:
        row = []
        for part in PARTS:
            path = os.path.join(args.folder, "lang-%s-%s.png" % (locale, part))
            img = Image.open(path).convert("RGB")
            row.append(img.resize((img.width // 2, img.height // 2), Image.LANCZOS))
        rows.append((locale, row))
    label_w, gap = 70, 8
    row_h = max(img.height for _, row in rows for img in row)
    width = label_w + sum(img.width for img in rows[0][1]) + gap * len(PARTS)
    sheet = Image.new("RGB", (width, len(rows) * (row_h + gap) + gap), (236, 240, 246))
    draw = ImageDraw.Draw(sheet)
    try:
        font = ImageFont.truetype("/usr/share/fonts/opentype/inter/Inter-Regular.otf", 14)
    except OSError:
        font = ImageFont.load_default()
    y = gap
    for locale, row in rows:
        draw.text((8, y + row_h // 2 - 8), locale, fill=(40, 42, 67), font=font)
        x = label_w
        for img in row:
            sheet.paste(img, (x, y))
            x += img.width + gap
        y += row_h + gap
    sheet.save(args.output, optimize=True)
    print(args.output)


if __name__ == "__main__":
    main()
