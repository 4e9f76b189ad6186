// GTK 3 back end of the report window: a toplevel holding a drawing area that
// shows the canvas, with a GtkScrollbar on the right and one at the bottom.
// Native events become calls on the window's client (platform/window_port.h),
// which also gives the image shown.
//
// The window manager draws the decorations, so the metrics report caption and
// frame sizes of 0: outer sizes here are content sizes (drawing area plus the
// scroll bars shown).
#include <gtk/gtk.h>

#include <cstdint>
#include <cstring>

#include "platform/common/path_utf.h"
#include "platform/common/uri_list.h"
#include "platform/gtk/gtk_port.h"
#include "platform/window_port.h"

namespace {

struct GtkReportWindow {
  const PortWindowClient* client;  // given at creation, kept after
  GtkWidget* window;
  GtkWidget* area;
  GtkWidget* bar[2];  // horizontal, vertical
  int viewX, viewY;
  int clientW, clientH;      // last size reported to the logic
  int expectW, expectH;      // last size asked for
  int lastX, lastY, lastW, lastH;
  guint settleTimer;
  bool thumbMoved[2];
  double wheelAcc;
  GdkCursor* cursors[kCursorCount];
  int cursor;
  int vbarW, hbarH;          // measured once
  int stepperLen;            // length of an arrow button of a bar
  // an arrow or page area held down: repeated until the release
  guint repeatTimer;
  int repeatAxis, repeatDir, repeatAt;
  bool repeatPage, repeatFast;
};

GtkReportWindow g;

GdkMonitor* CurrentMonitor() {
  GdkDisplay* d = gdk_display_get_default();
  if (!d) return nullptr;
  GdkMonitor* m = nullptr;
  if (g.window && gtk_widget_get_window(g.window))
    m = gdk_display_get_monitor_at_window(d, gtk_widget_get_window(g.window));
  if (!m) m = gdk_display_get_primary_monitor(d);
  if (!m) m = gdk_display_get_monitor(d, 0);
  return m;
}

void MeasureBars() {
  if (g.vbarW > 0) return;
  GtkWidget* v = gtk_scrollbar_new(GTK_ORIENTATION_VERTICAL, nullptr);
  GtkWidget* h = gtk_scrollbar_new(GTK_ORIENTATION_HORIZONTAL, nullptr);
  g_object_ref_sink(v);
  g_object_ref_sink(h);
  gtk_style_context_add_class(gtk_widget_get_style_context(v), "tarvel-bar");
  gtk_style_context_add_class(gtk_widget_get_style_context(h), "tarvel-bar");
  int min = 0, nat = 0;
  gtk_widget_get_preferred_width(v, &min, &nat);
  g.vbarW = nat > 0 ? nat : 16;
  gtk_widget_get_preferred_height(h, &min, &nat);
  g.hbarH = nat > 0 ? nat : 16;
  // the arrow buttons' length: what they add to the bar's least length
  GtkWidget* plain = gtk_scrollbar_new(GTK_ORIENTATION_VERTICAL, nullptr);
  g_object_ref_sink(plain);
  int withArrows = 0, without = 0;
  gtk_widget_get_preferred_height(v, &withArrows, &nat);
  gtk_widget_get_preferred_height(plain, &without, &nat);
  g.stepperLen = withArrows > without ? (withArrows - without) / 2 : 12;
  gtk_widget_destroy(plain);
  g_object_unref(plain);
  gtk_widget_destroy(v);
  gtk_widget_destroy(h);
  g_object_unref(v);
  g_object_unref(h);
}

// Scroll bars with arrow buttons at both ends, as the arrows step the view.
void InstallStyle() {
  static bool done = false;
  GdkScreen* screen = gdk_screen_get_default();
  if (done || !screen) return;
  done = true;
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css,
                                  ".tarvel-bar { -GtkScrollbar-has-backward-stepper: true;"
                                  " -GtkScrollbar-has-forward-stepper: true; }"
                                  ".tarvel-area { background-color: black; }",
                                  -1, nullptr);
  gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

// ---- drawing ---------------------------------------------------------------

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer) {
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  int cw = 0, ch = 0;
  const uint8_t* data = g.client ? g.client->image(&cw, &ch) : nullptr;
  if (!data || cw <= 0 || ch <= 0) return TRUE;
  GdkRectangle clip;
  if (!gdk_cairo_get_clip_rectangle(cr, &clip)) {
    clip.x = clip.y = 0;
    clip.width = gtk_widget_get_allocated_width(g.area);
    clip.height = gtk_widget_get_allocated_height(g.area);
  }
  int x0 = MAX(clip.x, 0), y0 = MAX(clip.y, 0);
  int x1 = MIN(clip.x + clip.width, cw - g.viewX);
  int y1 = MIN(clip.y + clip.height, ch - g.viewY);
  if (x1 <= x0 || y1 <= y0) return TRUE;
  int w = x1 - x0, h = y1 - y0;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return TRUE;
  }
  cairo_surface_flush(s);
  unsigned char* pix = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < h; y++) {
    const uint8_t* src = data + ((size_t)(y0 + g.viewY + y) * (size_t)cw + (size_t)(x0 + g.viewX)) * 3;
    uint32_t* dst = (uint32_t*)(void*)(pix + (size_t)y * (size_t)stride);
    for (int x = 0; x < w; x++, src += 3) dst[x] = (uint32_t)src[0] << 16 | (uint32_t)src[1] << 8 | src[2];
  }
  cairo_surface_mark_dirty(s);
  cairo_set_source_surface(cr, s, x0, y0);
  cairo_rectangle(cr, x0, y0, w, h);
  cairo_fill(cr);
  cairo_surface_destroy(s);
  return TRUE;
}

// ---- keys and mouse ----------------------------------------------------------

int NavigationKey(guint kv) {
  switch (kv) {
    case GDK_KEY_Page_Up: case GDK_KEY_KP_Page_Up: return 0x21;
    case GDK_KEY_Page_Down: case GDK_KEY_KP_Page_Down: return 0x22;
    case GDK_KEY_End: case GDK_KEY_KP_End: return 0x23;
    case GDK_KEY_Home: case GDK_KEY_KP_Home: return 0x24;
    case GDK_KEY_Left: case GDK_KEY_KP_Left: return 0x25;
    case GDK_KEY_Up: case GDK_KEY_KP_Up: return 0x26;
    case GDK_KEY_Right: case GDK_KEY_KP_Right: return 0x27;
    case GDK_KEY_Down: case GDK_KEY_KP_Down: return 0x28;
    case GDK_KEY_Select: return 0x29;
    case GDK_KEY_3270_PrintScreen: return 0x2A;
    case GDK_KEY_Execute: return 0x2B;
    case GDK_KEY_Print: case GDK_KEY_Sys_Req: return 0x2C;
    case GDK_KEY_Insert: case GDK_KEY_KP_Insert: return 0x2D;
    case GDK_KEY_Delete: case GDK_KEY_KP_Delete: return 0x2E;
    default: return 0;
  }
}

int TypedCharacter(guint kv) {
  switch (kv) {
    case GDK_KEY_Escape: return 27;
    case GDK_KEY_Return: case GDK_KEY_KP_Enter: case GDK_KEY_ISO_Enter: return 13;
    case GDK_KEY_BackSpace: return 8;
    case GDK_KEY_Tab: case GDK_KEY_ISO_Left_Tab: case GDK_KEY_KP_Tab: return 9;
    default: break;
  }
  gunichar u = gdk_keyval_to_unicode(kv);
  return (u > 0 && u < 0x10000) ? (int)u : 0;
}

gboolean OnKey(GtkWidget*, GdkEventKey* e, gpointer) {
  bool shift = e->state & GDK_SHIFT_MASK, ctrl = e->state & GDK_CONTROL_MASK,
       alt = e->state & GDK_MOD1_MASK;
  int vk = NavigationKey(e->keyval);
  g.client->onKey(vk, vk ? 0 : TypedCharacter(e->keyval), shift, ctrl, alt);
  return TRUE;
}

int ButtonOf(guint b) {
  if (b == 1) return kButtonLeft;
  if (b == 2) return kButtonMiddle;
  if (b == 3) return kButtonRight;
  return 0;
}

gboolean OnButton(GtkWidget*, GdkEventButton* e, gpointer) {
  if (e->type != GDK_BUTTON_PRESS && e->type != GDK_BUTTON_RELEASE) return TRUE;  // no double clicks
  int b = ButtonOf(e->button);
  if (!b) return TRUE;
  g.client->onButton(b, e->type == GDK_BUTTON_PRESS, (int)e->x, (int)e->y,
                     e->state & GDK_SHIFT_MASK, e->state & GDK_CONTROL_MASK);
  return TRUE;
}

gboolean OnMotion(GtkWidget* w, GdkEventMotion* e, gpointer) {
  bool left = e->state & GDK_BUTTON1_MASK;
  int aw = gtk_widget_get_allocated_width(w), ah = gtk_widget_get_allocated_height(w);
  // While the button is held the area keeps getting the pointer; outside it
  // the pointer is over the frame or a scroll bar.
  if (e->x < 0 || e->y < 0 || e->x >= aw || e->y >= ah)
    g.client->onFrameMotion();
  else
    g.client->onMotion((int)e->x, (int)e->y, left);
  return TRUE;
}

gboolean OnScroll(GtkWidget*, GdkEventScroll* e, gpointer) {
  if (e->direction == GDK_SCROLL_UP) {
    g.client->onWheel(kWheelNotch);
  } else if (e->direction == GDK_SCROLL_DOWN) {
    g.client->onWheel(-kWheelNotch);
  } else if (e->direction == GDK_SCROLL_SMOOTH) {
    g.wheelAcc -= e->delta_y * kWheelNotch;
    int whole = (int)g.wheelAcc;
    if (whole) {
      g.wheelAcc -= whole;
      g.client->onWheel(whole);
    }
  }
  return TRUE;
}

// ---- sizes -------------------------------------------------------------------

void OnAreaSize(GtkWidget*, GdkRectangle* a, gpointer) {
  if (a->width == g.clientW && a->height == g.clientH) return;
  g.clientW = a->width;
  g.clientH = a->height;
  g.client->onClientSize(a->width, a->height);
}

bool LeftButtonHeld() {
  GdkDisplay* d = gdk_display_get_default();
  GdkSeat* seat = d ? gdk_display_get_default_seat(d) : nullptr;
  GdkDevice* ptr = seat ? gdk_seat_get_pointer(seat) : nullptr;
  if (!ptr) return false;
  GdkModifierType mask = (GdkModifierType)0;
  gdk_window_get_device_position(gdk_get_default_root_window(), ptr, nullptr, nullptr, &mask);
  return mask & GDK_BUTTON1_MASK;
}

// The user lets go of a border or the caption: the window snaps.
gboolean Settle(gpointer) {
  if (LeftButtonHeld()) return G_SOURCE_CONTINUE;
  g.settleTimer = 0;
  g.client->onSizeMoveEnd();
  return G_SOURCE_REMOVE;
}

gboolean OnConfigure(GtkWidget*, GdkEventConfigure* e, gpointer) {
  int w = e->width, h = e->height;
  bool sized = w != g.lastW || h != g.lastH;
  bool moved = e->x != g.lastX || e->y != g.lastY;
  // Moves and sizes made by the user's hand (the button is held over the
  // frame); anything else is the program's own request or the window manager's.
  if ((sized || moved) && !(w == g.expectW && h == g.expectH && !moved) && LeftButtonHeld()) {
    if (sized) {
      g.client->onBorderDrag(w != g.lastW, h != g.lastH);
      g.expectW = w;
      g.expectH = h;
    }
    if (!g.settleTimer) g.settleTimer = g_timeout_add(100, Settle, nullptr);
  }
  g.lastX = e->x;
  g.lastY = e->y;
  g.lastW = w;
  g.lastH = h;
  return FALSE;
}

gboolean OnState(GtkWidget*, GdkEventWindowState* e, gpointer) {
  if (e->changed_mask & GDK_WINDOW_STATE_MAXIMIZED) {
    if (e->new_window_state & GDK_WINDOW_STATE_MAXIMIZED)
      g.client->onMaximise();
    else
      g.client->onRestore();
  }
  if (e->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
    if (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED)
      g.client->onMinimise();
    else
      g.client->onRestore();
  }
  return FALSE;
}

gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer) {
  g.client->onClose();
  return TRUE;  // the window stays; the loop decides
}

// ---- scroll bars -------------------------------------------------------------

gboolean OnChangeValue(GtkRange*, GtkScrollType t, gdouble, gpointer data) {
  int axis = GPOINTER_TO_INT(data);
  switch (t) {
    case GTK_SCROLL_STEP_BACKWARD: case GTK_SCROLL_STEP_UP: case GTK_SCROLL_STEP_LEFT:
      g.client->onScrollArrow(axis, -1);
      return TRUE;
    case GTK_SCROLL_STEP_FORWARD: case GTK_SCROLL_STEP_DOWN: case GTK_SCROLL_STEP_RIGHT:
      g.client->onScrollArrow(axis, 1);
      return TRUE;
    case GTK_SCROLL_PAGE_BACKWARD: case GTK_SCROLL_PAGE_UP: case GTK_SCROLL_PAGE_LEFT:
      g.client->onScrollPage(axis, -1);
      return TRUE;
    case GTK_SCROLL_PAGE_FORWARD: case GTK_SCROLL_PAGE_DOWN: case GTK_SCROLL_PAGE_RIGHT:
      g.client->onScrollPage(axis, 1);
      return TRUE;
    case GTK_SCROLL_JUMP:
      g.thumbMoved[axis] = true;  // the thumb follows; the view waits for the release
      return FALSE;
    default:
      return TRUE;
  }
}

// The slider's extent along the bar, in the bar's own coordinates.
void SliderRange(GtkWidget* bar, int axis, int* start, int* end) {
  GtkAllocation a;
  gtk_widget_get_allocation(bar, &a);
  gtk_range_get_slider_range(GTK_RANGE(bar), start, end);
  int origin = axis == kAxisX ? a.x : a.y;
  *start -= origin;
  *end -= origin;
}

// One step of a held arrow or page area. A page area stops once the slider
// has reached the pointer.
bool RepeatStep() {
  if (g.repeatPage) {
    GtkWidget* bar = g.bar[g.repeatAxis];
    if (!bar) return false;
    int s0, s1;
    SliderRange(bar, g.repeatAxis, &s0, &s1);
    if (g.repeatDir < 0 ? g.repeatAt >= s0 : g.repeatAt < s1) return false;
    g.client->onScrollPage(g.repeatAxis, g.repeatDir);
  } else {
    g.client->onScrollArrow(g.repeatAxis, g.repeatDir);
  }
  return true;
}

void StopRepeat() {
  if (g.repeatTimer) g_source_remove(g.repeatTimer);
  g.repeatTimer = 0;
}

gboolean RepeatTick(gpointer) {
  if (!RepeatStep()) {
    g.repeatTimer = 0;
    return G_SOURCE_REMOVE;
  }
  if (!g.repeatFast) {  // after the first delay, repeat faster
    g.repeatFast = true;
    g.repeatTimer = g_timeout_add(50, RepeatTick, nullptr);
    return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

// Arrows at both ends and the page areas beside the slider are ours; the
// slider itself is dragged by GTK (the view follows at the release).
gboolean OnBarPress(GtkWidget* w, GdkEventButton* e, gpointer data) {
  if (e->button != 1) return FALSE;
  if (e->type != GDK_BUTTON_PRESS) return TRUE;
  int axis = GPOINTER_TO_INT(data);
  GtkAllocation a;
  gtk_widget_get_allocation(w, &a);
  int len = axis == kAxisX ? a.width : a.height;
  int at = (int)(axis == kAxisX ? e->x : e->y);
  int s0, s1;
  SliderRange(w, axis, &s0, &s1);
  StopRepeat();
  g.repeatAxis = axis;
  g.repeatAt = at;
  g.repeatFast = false;
  if (at < g.stepperLen || at >= len - g.stepperLen) {
    g.repeatPage = false;
    g.repeatDir = at < g.stepperLen ? -1 : 1;
  } else if (at < s0 || at >= s1) {
    g.repeatPage = true;
    g.repeatDir = at < s0 ? -1 : 1;
  } else {
    return FALSE;
  }
  if (RepeatStep()) g.repeatTimer = g_timeout_add(300, RepeatTick, nullptr);
  return TRUE;
}

gboolean OnBarRelease(GtkWidget* w, GdkEventButton*, gpointer data) {
  int axis = GPOINTER_TO_INT(data);
  StopRepeat();
  if (g.thumbMoved[axis]) {
    g.thumbMoved[axis] = false;
    GtkAdjustment* adj = gtk_range_get_adjustment(GTK_RANGE(w));
    g.client->onThumbRelease(axis, (int)gtk_adjustment_get_value(adj));
    // the thumb shows where the view is
    gtk_adjustment_set_value(adj, g.client->scrollPos(axis));
  }
  return FALSE;
}

gboolean OnBarScroll(GtkWidget*, GdkEventScroll* e, gpointer data) {
  if (GPOINTER_TO_INT(data) == kAxisY) OnScroll(nullptr, e, nullptr);
  return TRUE;
}

// ---- drops -------------------------------------------------------------------

void OnDrop(GtkWidget*, GdkDragContext*, gint, gint, GtkSelectionData* sel, guint, guint, gpointer) {
  constexpr int kMax = 128;
  static char paths[kMax][1024];
  static char16_t wide[kMax][1024];
  const char* a[kMax];
  const char16_t* w[kMax];
  const guchar* raw = gtk_selection_data_get_data(sel);
  int len = gtk_selection_data_get_length(sel);
  if (!raw || len <= 0) return;
  int n = UriListToPaths((const char*)raw, len, paths, kMax);
  for (int i = 0; i < n; i++) {
    // narrow form: the file system's bytes; UTF-16 form: their text
    gchar* utf8 = g_filename_to_utf8(paths[i], -1, nullptr, nullptr, nullptr);
    if (!utf8 || !PathUtf8ToUtf16(wide[i], 1024, utf8)) wide[i][0] = 0;
    g_free(utf8);
    a[i] = paths[i];
    w[i] = wide[i];
  }
  if (n > 0) g.client->onDrop(n, a, w);
}

void OnRealize(GtkWidget* w, gpointer) {
  if (g.cursors[g.cursor]) gdk_window_set_cursor(gtk_widget_get_window(w), g.cursors[g.cursor]);
}

// Maximising gives the full outer size of the report (plus the scroll bars
// shown), never more: the window manager honours the maximum size hint.
void LimitMaximisedSize() {
  int w = 0, h = 0;
  if (g.client) g.client->fullSize(&w, &h);
  if (!g.window || w <= 0 || h <= 0) return;
  GdkGeometry geo;
  memset(&geo, 0, sizeof geo);
  geo.max_width = w + (gtk_widget_get_visible(g.bar[kAxisY]) ? g.vbarW : 0);
  geo.max_height = h + (gtk_widget_get_visible(g.bar[kAxisX]) ? g.hbarH : 0);
  gtk_window_set_geometry_hints(GTK_WINDOW(g.window), nullptr, &geo, GDK_HINT_MAX_SIZE);
}

GtkWidget* MakeBar(int axis) {
  GtkWidget* b = gtk_scrollbar_new(axis == kAxisX ? GTK_ORIENTATION_HORIZONTAL : GTK_ORIENTATION_VERTICAL,
                                   nullptr);
  gtk_style_context_add_class(gtk_widget_get_style_context(b), "tarvel-bar");
  gtk_widget_set_can_focus(b, FALSE);
  gtk_widget_set_no_show_all(b, TRUE);
  g_signal_connect(b, "change-value", G_CALLBACK(OnChangeValue), GINT_TO_POINTER(axis));
  g_signal_connect(b, "button-press-event", G_CALLBACK(OnBarPress), GINT_TO_POINTER(axis));
  g_signal_connect(b, "button-release-event", G_CALLBACK(OnBarRelease), GINT_TO_POINTER(axis));
  g_signal_connect(b, "scroll-event", G_CALLBACK(OnBarScroll), GINT_TO_POINTER(axis));
  return b;
}

}  // namespace

void* GtkPortBoxOwner() { return g.window; }

// ---- the port ------------------------------------------------------------------

void PortWindowGetMetrics(PortWindowMetrics* m) {
  memset(m, 0, sizeof *m);
  GdkRectangle r = {0, 0, 1024, 768};
  if (GdkMonitor* mon = CurrentMonitor()) gdk_monitor_get_workarea(mon, &r);
  m->workX = r.x;
  m->workY = r.y;
  m->workW = r.width;
  m->workH = r.height;
  InstallStyle();
  MeasureBars();
  m->vbarW = g.vbarW;
  m->hbarH = g.hbarH;
}

// The title is UTF-8; a byte that is not (a file name's) shows as U+FFFD.
static void SetTitle(const char* title) {
  gchar* t = g_utf8_make_valid(title, -1);
  gtk_window_set_title(GTK_WINDOW(g.window), t);
  g_free(t);
}

int PortWindowCreate(const char* title, int outerW, int outerH, bool atCorner,
                     const PortWindowClient* client) {
  if (g.window) return 0;
  if (!gdk_display_get_default()) return -1;
  g.client = client;
  InstallStyle();
  g.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  SetTitle(title);
  GtkWidget* grid = gtk_grid_new();
  g.area = gtk_drawing_area_new();
  gtk_style_context_add_class(gtk_widget_get_style_context(g.area), "tarvel-area");
  gtk_widget_set_hexpand(g.area, TRUE);
  gtk_widget_set_vexpand(g.area, TRUE);
  gtk_widget_set_can_focus(g.area, TRUE);
  gtk_widget_add_events(g.area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                    GDK_POINTER_MOTION_MASK | GDK_SCROLL_MASK);
  g.bar[kAxisX] = MakeBar(kAxisX);
  g.bar[kAxisY] = MakeBar(kAxisY);
  gtk_grid_attach(GTK_GRID(grid), g.area, 0, 0, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), g.bar[kAxisY], 1, 0, 1, 1);
  gtk_grid_attach(GTK_GRID(grid), g.bar[kAxisX], 0, 1, 1, 1);
  gtk_container_add(GTK_CONTAINER(g.window), grid);

  g_signal_connect(g.area, "draw", G_CALLBACK(OnDraw), nullptr);
  g_signal_connect(g.area, "button-press-event", G_CALLBACK(OnButton), nullptr);
  g_signal_connect(g.area, "button-release-event", G_CALLBACK(OnButton), nullptr);
  g_signal_connect(g.area, "motion-notify-event", G_CALLBACK(OnMotion), nullptr);
  g_signal_connect(g.area, "scroll-event", G_CALLBACK(OnScroll), nullptr);
  g_signal_connect(g.area, "size-allocate", G_CALLBACK(OnAreaSize), nullptr);
  g_signal_connect(g.area, "realize", G_CALLBACK(OnRealize), nullptr);
  g_signal_connect(g.window, "key-press-event", G_CALLBACK(OnKey), nullptr);
  g_signal_connect(g.window, "configure-event", G_CALLBACK(OnConfigure), nullptr);
  g_signal_connect(g.window, "window-state-event", G_CALLBACK(OnState), nullptr);
  g_signal_connect(g.window, "delete-event", G_CALLBACK(OnDelete), nullptr);
  g_signal_connect(g.window, "drag-data-received", G_CALLBACK(OnDrop), nullptr);
  static const GtkTargetEntry kUriTarget = {(gchar*)"text/uri-list", 0, 0};
  gtk_drag_dest_set(g.window, GTK_DEST_DEFAULT_ALL, &kUriTarget, 1, GDK_ACTION_COPY);

  g.viewX = g.viewY = 0;
  g.clientW = g.clientH = -1;
  g.expectW = outerW;
  g.expectH = outerH;
  g.lastX = g.lastY = g.lastW = g.lastH = -1;
  g.thumbMoved[0] = g.thumbMoved[1] = false;
  g.wheelAcc = 0;
  gtk_window_set_default_size(GTK_WINDOW(g.window), outerW, outerH);
  LimitMaximisedSize();
  if (atCorner) {
    PortWindowMetrics m;
    PortWindowGetMetrics(&m);
    gtk_window_move(GTK_WINDOW(g.window), m.workX, m.workY);
  }
  gtk_widget_show_all(g.window);
  gtk_window_present(GTK_WINDOW(g.window));
  gtk_widget_grab_focus(g.area);
  return 0;
}

void PortWindowDestroy() {
  if (!g.window) return;
  if (g.settleTimer) g_source_remove(g.settleTimer);
  g.settleTimer = 0;
  StopRepeat();
  gtk_drag_dest_unset(g.window);
  gtk_widget_destroy(g.window);
  g.window = g.area = g.bar[0] = g.bar[1] = nullptr;
}

void PortWindowSetTitle(const char* title) {
  if (g.window) SetTitle(title);
}

void PortWindowMoveResize(bool move, int x, int y, int outerW, int outerH) {
  if (!g.window) return;
  if (move) gtk_window_move(GTK_WINDOW(g.window), x, y);
  g.expectW = outerW;
  g.expectH = outerH;
  LimitMaximisedSize();
  gtk_window_resize(GTK_WINDOW(g.window), outerW > 0 ? outerW : 1, outerH > 0 ? outerH : 1);
}

void PortWindowGetRect(int* x, int* y, int* w, int* h) {
  *x = *y = *w = *h = 0;
  if (!g.window) return;
  gtk_window_get_position(GTK_WINDOW(g.window), x, y);
  gtk_window_get_size(GTK_WINDOW(g.window), w, h);
}

void PortWindowSetTopmost(bool on) {
  if (g.window) gtk_window_set_keep_above(GTK_WINDOW(g.window), on);
}

void PortWindowShowView(int sx, int sy) {
  g.viewX = sx;
  g.viewY = sy;
  if (g.area) gtk_widget_queue_draw(g.area);
}

void PortWindowRepaint(int x, int y, int w, int h) {
  if (g.area) gtk_widget_queue_draw_area(g.area, x, y, w, h);
}

void PortWindowSetScrollBar(int axis, bool shown, int range, int pos, int page) {
  if (!g.window || axis < 0 || axis > 1) return;
  GtkWidget* b = g.bar[axis];
  GtkAdjustment* adj = gtk_range_get_adjustment(GTK_RANGE(b));
  if (page < 1) page = 1;
  gtk_adjustment_configure(adj, pos, 0, range + page, kLineStep, MAX(range / 10, 1), page);
  // The thumb shows the new position at once: GTK would move it only at the
  // window's next layout, which may not come until the window is resized.
  if (gtk_widget_get_mapped(b)) {
    GtkAllocation a;
    gtk_widget_get_allocation(b, &a);
    gtk_widget_size_allocate(b, &a);
    gtk_widget_queue_draw(b);
  }
  if (shown != (bool)gtk_widget_get_visible(b)) {
    gtk_widget_set_visible(b, shown);
    LimitMaximisedSize();
  }
}

int PortWindowMakeCursors() {
  GdkDisplay* d = gdk_display_get_default();
  if (!d) return -1;
  static const GdkCursorType kSystem[8] = {GDK_LEFT_PTR,  GDK_CROSSHAIR,          GDK_WATCH,
                                           GDK_X_CURSOR,  GDK_FLEUR,              GDK_BOTTOM_RIGHT_CORNER,
                                           GDK_SB_V_DOUBLE_ARROW, GDK_SB_H_DOUBLE_ARROW};
  for (int i = 0; i < kCursorCount; i++) {
    if (g.cursors[i]) g_object_unref(g.cursors[i]);
    g.cursors[i] = nullptr;
  }
  for (int i = 0; i < 8; i++) {
    g.cursors[i] = gdk_cursor_new_for_display(d, kSystem[i]);
    if (!g.cursors[i]) return -1;
  }
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return -2;
  }
  cairo_surface_flush(s);
  unsigned char* pix = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < 32; y++) {
    uint32_t* row = (uint32_t*)(void*)(pix + (size_t)y * (size_t)stride);
    for (int x = 0; x < 32; x++) {
      char c = kHandCursor[y][x];
      row[x] = c == 'X' ? 0xFF000000u : c == 'o' ? 0xFFFFFFFFu : 0u;
    }
  }
  cairo_surface_mark_dirty(s);
  g.cursors[kCursorHand] = gdk_cursor_new_from_surface(d, s, kHandHotX, kHandHotY);
  cairo_surface_destroy(s);
  return g.cursors[kCursorHand] ? 0 : -2;
}

void PortWindowSetCursor(int index) {
  if (index < 0 || index >= kCursorCount) return;
  g.cursor = index;
  if (g.area && gtk_widget_get_window(g.area) && g.cursors[index])
    gdk_window_set_cursor(gtk_widget_get_window(g.area), g.cursors[index]);
}

int PortClipboardSetText(const char* text) {
  if (!gdk_display_get_default()) return -1;
  GtkClipboard* c = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  if (!c) return -1;
  gtk_clipboard_set_text(c, text, -1);
  return 0;
}
