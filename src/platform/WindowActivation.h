#pragma once
class QWidget;

// Brings a shown window to the user, also from another workspace: on X11 through the window
// manager (_NET_ACTIVE_WINDOW, which Qt sends); on Wayland with the launcher's xdg-activation
// token when there is one, else by mapping the window afresh, which compositors place on the
// workspace in front and focus.
void BringForward(QWidget* window);

// Tells the window manager that the window wants the user, who is looking elsewhere: the
// urgency hint on X11; on Wayland an xdg-activation request, which compositors answer by
// marking the window (sway: urgent) or bringing it forward. Asked once the window is on screen.
void AskForAttention(QWidget* window);
