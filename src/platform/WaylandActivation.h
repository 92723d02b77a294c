#pragma once
// xdg-activation for a window of ours on a Wayland compositor: the window asks the compositor
// to activate it, with a token it asks for itself. Compositors treat such a request from a
// program the user is not using by marking the window urgent (sway, by default), or by
// activating it (where the user allows that); either way, the user is not left unaware.
class QWindow;

// False when the session is not Wayland, the compositor has no xdg-activation, or the window
// is not on screen yet (the compositor ignores requests for a window it does not show).
bool RequestWaylandActivation(QWindow* window);
