#!/usr/bin/env python3
"""Draws the demo edition's icons: an orange rounded square with a white "D", so that the
demo edition is told apart from the program's own blue "Z" at a glance.

Writes tool_title_logo.ico (with a light outline, for the window caption) and
tool_desktop_logo.ico into demo_edition/ beside this script, each with 32 x 32 and 16 x 16
images stored as PNG. Uses the drawing helpers of tools/skins/make_skins.py; the output is
deterministic.

Usage: make_demo_icons.py [OUTPUT_DIR]
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "skins"))
import make_skins as skins  # noqa: E402

DEMO_TOP = (0xF5, 0x9E, 0x2E)
DEMO_BOTTOM = (0xC8, 0x5A, 0x12)


def demo_logo(size, outlined):
    factor = size / 32.0
    tile = skins.rounded_rect(1.0, 1.0, 31.0, 31.0, 7.0)
    letter = skins.minus(
        skins.union(skins.rect(9.0, 7.5, 16.0, 24.5), skins.circle(16.0, 16.0, 8.5)),
        skins.rect(6.0, 6.0, 9.0, 26.0),
        skins.union(skins.rect(12.2, 10.7, 16.0, 21.3), skins.circle(16.0, 16.0, 5.3)))
    canvas = skins.Canvas(size, size)
    if outlined:
        canvas.fill(skins.scaled(skins.rounded_rect(0.0, 0.0, 32.0, 32.0, 8.0), factor),
                    (255, 255, 255), 0.85)
    canvas.fill(skins.scaled(tile, factor),
                lambda y: skins.mix(DEMO_TOP, DEMO_BOTTOM, y / max(1, size - 1)))
    canvas.fill(skins.scaled(letter, factor), (255, 255, 255))
    return canvas


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(here, "demo_edition")
    skins.write(os.path.join(out_dir, "tool_title_logo.ico"),
                skins.ico_bytes([demo_logo(32, True), demo_logo(16, True)]))
    skins.write(os.path.join(out_dir, "tool_desktop_logo.ico"),
                skins.ico_bytes([demo_logo(32, False), demo_logo(16, False)]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
