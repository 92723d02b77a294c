#pragma once
class QWidget;

// A line edit keeps 32,767 characters by default and drops the rest of a longer paste
// without a word; the settings take any length, so every line edit below `root` (and root
// itself, when it is one) takes the whole text.
void TakeWholeText(QWidget* root);
