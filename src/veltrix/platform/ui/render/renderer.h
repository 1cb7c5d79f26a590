// The renderer: draws a view tree (a window, normally) into an image, so a
// person can see what the screens look like.
//
// It draws what the headless UI layer holds, back to front: each view's
// layer background and background colour inside its rounded outline
// (corner radius, masked corners), its own content (label text, images with
// their content mode and tint, buttons' parts, switches, activity
// indicators, text fields, table cells' selection and accessories,
// separators, the navigation bar's backdrop, alert action dividers, a
// sheet's rounded top), what views and layers that derive from
// CustomDrawing draw themselves, its layers (shape and replicator layers
// with their animations), its subviews (clipped when the view clips), and
// its border on top. Alpha composites a view as a whole; a scale transform
// scales it about its centre. Running view animations are drawn at their
// presentation values at the options' time, layer animations at that time
// on the process clock.
//
// Thread: the main loop (it lays the tree out first).
#pragma once

#include <filesystem>
#include <optional>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/ui/render/canvas.h"
#include "veltrix/platform/ui/view.h"

namespace veltrix::ui {

struct RenderOptions {
  // Pixels per point; 0 or less: the scale of the view's window's device
  // (the current device when it has no window).
  double scale = 0;
  // The moment to draw; the process clock's now when unset.
  std::optional<platform::TimePoint> time;
  // Also draw the device around the screens: the status bar's time and
  // battery in the top safe area and the home indicator at the bottom.
  bool deviceChrome = false;
  // How renderViewToPng packs the file.
  PngCompression compression = PngCompression::Small;
};

// Lays out `view`'s tree and draws it, in the view's own bounds, onto a new
// canvas of the view's size. Hidden ancestors do not matter: the view itself
// is drawn as if on screen (its own hidden flag and alpha count).
Canvas renderView(View& view, const RenderOptions& options = {});

// What `label` shows in its bounds as they are now (lay the tree out
// first): the text and lines the renderer draws.
TextLayout drawnText(const Label& label);

// The same as renderView, written as a PNG file; false (and a log line) when it cannot be
// written.
bool renderViewToPng(View& view, const std::filesystem::path& path,
                     const RenderOptions& options = {});

}  // namespace veltrix::ui
