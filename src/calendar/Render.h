#pragma once
#include <QImage>

#include "calendar/Geometry.h"

// The rectangle for the settings and today as they are now.
CalendarBox CalendarRect(int width, int height);
// Draws this month's calendar onto the canvas (width x height) in the configured style.
void DrawCalendar(QImage& canvas, int width, int height);
