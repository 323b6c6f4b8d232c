// Reads the tray of a virtual desktop: which icons trayer has docked, and
// which lamp picture one of them shows, from the pixels on the screen.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class TrayArea {
  public:
    explicit TrayArea(const std::string& display) : m_display(XOpenDisplay(display.c_str())) {
        if (m_display == nullptr) {
            throw std::runtime_error("cannot open display " + display);
        }
    }
    ~TrayArea() { XCloseDisplay(m_display); }
    TrayArea(const TrayArea&) = delete;
    TrayArea& operator=(const TrayArea&) = delete;

    // The screen rectangles of the icons docked in trayer's panel (each sits
    // in a socket window of the panel), or none while no trayer runs.
    std::vector<ScreenRect> DockedIcons() {
        // Windows vanish while we look; their errors are no failure.
        XSync(m_display, False);
        const auto previous = XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
        std::vector<ScreenRect> icons;
        for (const Window panel : Children(DefaultRootWindow(m_display))) {
            if (!IsTrayerPanel(panel)) {
                continue;
            }
            for (const Window socket : Children(panel)) {
                for (const Window icon : Children(socket)) {
                    ScreenRect rect;
                    if (ViewableRect(icon, rect)) {
                        icons.push_back(rect);
                    }
                }
            }
        }
        XSync(m_display, False);
        XSetErrorHandler(previous);
        return icons;
    }

    // "Idle", "Receive", "Send" or "Both" when exactly one icon is docked and
    // shows a red half (send lamp) left of a green half (receive lamp); "none"
    // with no icon, "several icons", or "unclear" for any other picture.
    std::string ShownLampPicture() {
        const std::vector<ScreenRect> icons = DockedIcons();
        if (icons.empty()) {
            return "none";
        }
        if (icons.size() > 1) {
            return "several icons";
        }
        return ClassifyLampPicture(icons.front());
    }

  private:
    std::vector<Window> Children(Window window) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        std::vector<Window> result;
        if (XQueryTree(m_display, window, &root, &parent, &children, &count) != 0) {
            result.assign(children, children + count);
        }
        if (children != nullptr) {
            XFree(children);
        }
        return result;
    }

    bool IsTrayerPanel(Window window) {
        XClassHint hint{};
        if (XGetClassHint(m_display, window, &hint) == 0) {
            return false;
        }
        const bool panel =
            std::string(hint.res_name) == "panel" && std::string(hint.res_class) == "trayer";
        XFree(hint.res_name);
        XFree(hint.res_class);
        return panel;
    }

    bool ViewableRect(Window window, ScreenRect& rect) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(m_display, window, &attributes) == 0 ||
            attributes.map_state != IsViewable) {
            return false;
        }
        Window child = 0;
        if (XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &rect.x,
                                  &rect.y, &child) == 0) {
            return false;
        }
        rect.width = attributes.width;
        rect.height = attributes.height;
        return true;
    }

    // Counts the lamp colours in the icon's area; the background around a
    // small picture and blended pixels at the seam count for nothing.
    std::string ClassifyLampPicture(const ScreenRect& rect) {
        XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), rect.x, rect.y,
                                  static_cast<unsigned>(rect.width),
                                  static_cast<unsigned>(rect.height), AllPlanes, ZPixmap);
        if (image == nullptr) {
            return "unclear";
        }
        int darkRed = 0;
        int brightRed = 0;
        int darkGreen = 0;
        int brightGreen = 0;
        long redX = 0;
        long greenX = 0;
        for (int y = 0; y < rect.height; ++y) {
            for (int x = 0; x < rect.width; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                const unsigned long r = (pixel >> 16) & 0xFF;
                const unsigned long g = (pixel >> 8) & 0xFF;
                const unsigned long b = pixel & 0xFF;
                if (g < 40 && b < 40 && r > 96) {
                    ++(r > 192 ? brightRed : darkRed);
                    redX += x;
                } else if (r < 40 && b < 40 && g > 96) {
                    ++(g > 192 ? brightGreen : darkGreen);
                    greenX += x;
                }
            }
        }
        XDestroyImage(image);
        const int red = darkRed + brightRed;
        const int green = darkGreen + brightGreen;
        // A lamp of at least a quarter of a 16 pixel icon, red on the left.
        if (red < 64 || green < 64 || redX / red >= greenX / green) {
            return "unclear";
        }
        const bool sendOn = brightRed > darkRed;
        const bool receiveOn = brightGreen > darkGreen;
        if (sendOn) {
            return receiveOn ? "Both" : "Send";
        }
        return receiveOn ? "Receive" : "Idle";
    }

    ::Display* m_display;
};

}  // namespace testsupport
