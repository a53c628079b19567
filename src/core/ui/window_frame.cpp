#include "core/ui/window_frame.h"

#include <QGuiApplication>
#include <QWidget>

#if __has_include(<xcb/xcb.h>)
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#define K4M_HAVE_XCB 1
#endif

namespace k4m {

#ifdef K4M_HAVE_XCB
namespace {

// The Motif window-manager hints every X11 window manager reads.
struct MotifHints {
    uint32_t flags;
    uint32_t functions;
    uint32_t decorations;
    int32_t inputMode;
    uint32_t status;
};
constexpr uint32_t kHintFunctions = 1u << 0;
constexpr uint32_t kHintDecorations = 1u << 1;
constexpr uint32_t kFunctionMove = 1u << 2;
constexpr uint32_t kDecorationBorder = 1u << 1;
constexpr uint32_t kDecorationTitle = 1u << 3;

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace
#endif

void askForTitleOnlyFrame(QWidget* window) {
#ifdef K4M_HAVE_XCB
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) return;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t atom = internAtom(connection, "_MOTIF_WM_HINTS");
    if (atom == XCB_ATOM_NONE) return;
    const MotifHints hints{kHintFunctions | kHintDecorations, kFunctionMove, kDecorationBorder | kDecorationTitle, 0,
                           0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom, atom, 32, 5, &hints);
    xcb_flush(connection);
#else
    (void)window;
#endif
}

} // namespace k4m

namespace k4m {

void centreOnOwner(QWidget* dialog) {
    if (dialog->parentWidget() == nullptr) return;
    const QWidget* owner = dialog->parentWidget()->window();
    const QRect area = owner->isVisible() ? owner->frameGeometry() : owner->geometry();
    const QSize size = dialog->isVisible() ? dialog->frameGeometry().size() : dialog->size();
    dialog->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

} // namespace k4m
