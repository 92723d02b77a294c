#include "platform/WaylandActivation.h"

#include <wayland-client.h>

#include <QGuiApplication>
#include <QWindow>
#include <cstring>
#include <qpa/qplatformnativeinterface.h>
#include <string>

#include "xdg-activation-v1-client-protocol.h"

namespace {
void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t) {
  if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
    *static_cast<xdg_activation_v1**>(data) = static_cast<xdg_activation_v1*>(
        wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}
void OnGlobalRemoved(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemoved};

void OnToken(void* data, xdg_activation_token_v1*, const char* token) {
  *static_cast<std::string*>(data) = token;
}
const xdg_activation_token_v1_listener kTokenListener{OnToken};
}  // namespace

bool RequestWaylandActivation(QWindow* window) {
  QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
  if (!window || !native ||
      !QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
    return false;
  auto* display = static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"));
  auto* surface = static_cast<wl_surface*>(native->nativeResourceForWindow("surface", window));
  if (!display || !surface) return false;

  // Our own queue on Qt's connection: the answers we wait for are dispatched here, and
  // nothing of Qt's is dispatched by our waiting.
  wl_event_queue* queue = wl_display_create_queue(display);
  auto* ours = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(ours), queue);
  wl_registry* registry = wl_display_get_registry(ours);
  xdg_activation_v1* activation = nullptr;
  wl_registry_add_listener(registry, &kRegistryListener, &activation);
  bool asked = false;
  if (wl_display_roundtrip_queue(display, queue) >= 0 && activation) {
    xdg_activation_token_v1* request = xdg_activation_v1_get_activation_token(activation);
    std::string token;
    xdg_activation_token_v1_add_listener(request, &kTokenListener, &token);
    xdg_activation_token_v1_set_surface(request, surface);
    xdg_activation_token_v1_commit(request);
    if (wl_display_roundtrip_queue(display, queue) >= 0 && !token.empty()) {
      xdg_activation_v1_activate(activation, token.c_str(), surface);
      wl_display_flush(display);
      asked = true;
    }
    xdg_activation_token_v1_destroy(request);
    xdg_activation_v1_destroy(activation);
  }
  wl_registry_destroy(registry);
  wl_proxy_wrapper_destroy(ours);
  wl_event_queue_destroy(queue);
  return asked;
}
