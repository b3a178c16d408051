#pragma once
// Dialog units, the measure of the dialog templates: horizontally a quarter of the font's average
// character width, vertically an eighth of its height. The Qt view places its controls by the
// templates' numbers through this, so the window keeps its proportions in any font.

#include <QFont>
#include <QRect>
#include <QSize>

namespace vardel::qt {

struct DialogRect {
    int x;
    int y;
    int width;
    int height;
};

class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}

    int BaseX() const { return baseX_; }
    int BaseY() const { return baseY_; }
    QRect ToPixels(const DialogRect& rect) const;
    QSize ToPixels(int width, int height) const;

  private:
    int X(int units) const;
    int Y(int units) const;

    int baseX_;
    int baseY_;
};

// `rect` made at least `height` pixels tall about its middle: a template's line of text is sized
// for the system's font, and a line of Chinese, or a font with a deeper descent, needs more.
QRect TallEnoughFor(const QRect& rect, int height);

}  // namespace vardel::qt
