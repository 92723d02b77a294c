#pragma once
// A key typed into a window, as the keyboard delivers it: to the widget holding the focus,
// from where an ignored key goes on to its parents.
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

inline void TypeKey(QWidget& window, int key) {
  QWidget* target = window.focusWidget() ? window.focusWidget() : &window;
  const QString text = key == Qt::Key_Space ? QStringLiteral(" ") : QString();
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &release);
}
