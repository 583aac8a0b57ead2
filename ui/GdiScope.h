// Scoped GDI helpers: every device context obtained, object created or
// selected, and clip or text state changed is given back when the scope
// ends, on every path, so drawing code cannot leak.
#pragma once

#include <windows.h>

// A device context of a window's whole client area.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(window ? GetDC(window) : nullptr) {}
    ~WindowDC()
    {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A memory device context compatible with `dc`.
class MemoryDC {
public:
    explicit MemoryDC(HDC dc) : dc_(CreateCompatibleDC(dc)) {}
    ~MemoryDC()
    {
        if (dc_) DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A GDI object this scope created (pen, brush, font, bitmap); deleted at the end.
template <typename Handle> class GdiObject {
public:
    explicit GdiObject(Handle object) : object_(object) {}
    ~GdiObject()
    {
        if (object_) DeleteObject(object_);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    Handle get() const { return object_; }

private:
    Handle object_;
};

// An object selected into a context; the previous one comes back at the end.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~Selection()
    {
        if (previous_) SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The whole state of a context (clip region, colours, modes), restored at the end.
class SavedDC {
public:
    explicit SavedDC(HDC dc) : dc_(dc), saved_(dc ? SaveDC(dc) : 0) {}
    ~SavedDC()
    {
        if (saved_) RestoreDC(dc_, saved_);
    }
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;

private:
    HDC dc_;
    int saved_;
};
