#pragma once
// The three calendar layouts; DrawCalendar picks one by the Style setting.
#include <QImage>

void DrawClassic(QImage& canvas, int width, int height);
void DrawVertical(QImage& canvas, int width, int height);
void DrawHorizontal(QImage& canvas, int width, int height);

// Font heights of the styles, as fractions of a cell height, truncated.
int FontLarge(int cell);   // 0.8
int FontMedium(int cell);  // 0.72
int FontSmall(int cell);   // 0.64
