#pragma once
// The agenda's list of coming events, drawn under the month.
#include "agenda/AgendaView.h"
#include "calendar/GdiCanvas.h"
#include "calendar/Geometry.h"

struct CalendarConfigT;

// One line per event under the calendar's rectangle, as wide as the calendar: a mark in the
// calendar's colour, the day, the time and the summary, clipped; lines that would leave the
// canvas are left out.
void DrawAgendaList(GdiCanvas& dc, const CalendarBox& r, const CalendarConfigT& k,
                    const QList<AgendaListLine>& lines);
