#include "ui/qt/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace vardel::qt {
namespace {

constexpr int kUnitsPerBaseX = 4;
constexpr int kUnitsPerBaseY = 8;
constexpr char kAverageWidthSample[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kAverageWidthSampleLength = sizeof(kAverageWidthSample) - 1;
static_assert(kAverageWidthSampleLength == 52, "the 26 letters in both cases");

// a * b / c rounded to the nearest, halves away from zero: how the system scales dialog units.
int ScaleRounded(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

// The width of both alphabets over 26, halved with rounding: the system's average width of a
// dialog font, which differs from the font's own average character width.
DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int sampleWidth = metrics.horizontalAdvance(QString::fromLatin1(kAverageWidthSample));
    baseX_ = (sampleWidth / (kAverageWidthSampleLength / 2) + 1) / 2;
    baseY_ = metrics.height();
}

int DialogUnits::X(int units) const {
    return ScaleRounded(units, baseX_, kUnitsPerBaseX);
}

int DialogUnits::Y(int units) const {
    return ScaleRounded(units, baseY_, kUnitsPerBaseY);
}

QRect DialogUnits::ToPixels(const DialogRect& rect) const {
    return QRect(X(rect.x), Y(rect.y), X(rect.width), Y(rect.height));
}

QSize DialogUnits::ToPixels(int width, int height) const {
    return QSize(X(width), Y(height));
}

QRect TallEnoughFor(const QRect& rect, int height) {
    const int taller = height - rect.height();
    if (taller <= 0) return rect;
    return rect.adjusted(0, -taller / 2, 0, taller - taller / 2);
}

}  // namespace vardel::qt
