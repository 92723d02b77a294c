#pragma once
#include <functional>

class QString;

// The display connection breaking (the compositor or X server gone, as at log-out) ends the
// process from inside Qt; save() runs first, on the way out, when it is still safe to.
void SaveWhenTheDisplayBreaks(std::function<void()> save);
// Whether Qt's message says the display connection broke.
bool DisplayBrokeMessage(const QString& message);
