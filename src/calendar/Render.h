#pragma once
#include <QImage>

#include "calendar/Geometry.h"

struct Config;

// The rectangle for these settings in the month of `today`.
CalendarBox CalendarRect(int width, int height, const Config& config, const QDate& today);
// Draws the month of `today` onto the canvas (width x height) in the configured style.
void DrawCalendar(QImage& canvas, int width, int height, const Config& config, const QDate& today);
