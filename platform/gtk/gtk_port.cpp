// GTK 3 back end of the process, locale, message box, dialog and event
// operations. Files and directories come from the POSIX back end.
#include "platform/gtk/gtk_port.h"

#include <gtk/gtk.h>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "platform/posix/posix_port.h"

static int gArgc = 0;
static char** gArgv = nullptr;
static char gExe[PATH_MAX];

// The file chooser adds every chosen file to the user's recent-files list,
// and the recent manager saves that list in its "changed" step (turning the
// list off in the settings would save it empty instead, losing the user's
// entries). In this process that step does nothing: the list stays in
// memory, the file on disk is neither written nor reloaded.
static void RecentChangedInMemory(GtkRecentManager*) {}

static void KeepRecentFilesInMemory() {
  // the class stays referenced for the life of the process
  auto* rc = static_cast<GtkRecentManagerClass*>(g_type_class_ref(GTK_TYPE_RECENT_MANAGER));
  if (rc) rc->changed = RecentChangedInMemory;
}

bool GtkPortInit(int argc, char** argv) {
  gArgc = argc;
  gArgv = argv;
  PosixExePath(gExe, sizeof gExe, argc > 0 ? argv[0] : "");
  // GTK would set the whole locale from the environment. Numbers in the
  // report and on the clipboard keep the C locale's '.'; texts, messages
  // and the file chooser follow the user's locale as before.
  gtk_disable_setlocale();
  setlocale(LC_ALL, "");
  setlocale(LC_NUMERIC, "C");
  // The only files the program writes are its captures: settings stay in
  // memory (no dconf database), and the user's recent-files list is left as
  // it is (see KeepRecentFilesInMemory).
  g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
  if (!gtk_init_check(nullptr, nullptr)) {
    fprintf(stderr, "tarvel: cannot open a display (is DISPLAY set?)\n");
    return false;
  }
  KeepRecentFilesInMemory();
  return true;
}

void PortSleep(int ms) { g_usleep((gulong)ms * 1000); }
const char16_t* PortCommandLineW() { return nullptr; }
const char* PortCommandLineA() { return nullptr; }
int PortArgc() { return gArgc; }
const char* PortArgv(int i) {
  if (i == 0) return gExe;
  return (i > 0 && i < gArgc) ? gArgv[i] : "";
}
double PortOsVersion() { return 0.0; }
const char* PortOsName() { return PosixOsName(); }
uint32_t PortConsoleOutputCp() { return PosixCodePage(); }
uint32_t PortConsoleCp() { return PosixCodePage(); }
uint32_t PortAnsiCodePage() { return PosixCodePage(); }
uint16_t PortUserLangId() { return PosixLangId(); }
bool PortIsDbcsLeadByte(unsigned char b) { return PosixIsDbcsLeadByte(b); }

void PortPumpEvents() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

char* GtkNarrowToUtf8(const char* text) {
  if (PosixCodePage() == 932) {
    gchar* u = g_convert(text, -1, "UTF-8", "SHIFT_JISX0213", nullptr, nullptr, nullptr);
    if (u) return u;
  }
  return g_utf8_make_valid(text, -1);
}

static gchar* WideToUtf8(const char16_t* text) {
  gchar* u = g_utf16_to_utf8((const gunichar2*)text, -1, nullptr, nullptr, nullptr);
  return u ? u : g_strdup("");
}

static int ShowBox(const gchar* text, const gchar* title, uint32_t style) {
  bool okcancel = (style & 0xF) == kMbOkCancel;
  GtkWindow* owner = (GtkWindow*)GtkPortBoxOwner();
  GtkWidget* d = gtk_message_dialog_new(owner, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                        okcancel ? GTK_BUTTONS_OK_CANCEL : GTK_BUTTONS_OK, "%s", text);
  gtk_window_set_title(GTK_WINDOW(d), title);
  // OK is the default button: Return chooses it.
  gtk_dialog_set_default_response(GTK_DIALOG(d), GTK_RESPONSE_OK);
  if (style & kMbTopmost) gtk_window_set_keep_above(GTK_WINDOW(d), TRUE);
  // GTK 3 shows the information icon only when it is set explicitly.
  GtkWidget* img = gtk_image_new_from_icon_name("dialog-information", GTK_ICON_SIZE_DIALOG);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(d), img);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_widget_show_all(d);
  int r = gtk_dialog_run(GTK_DIALOG(d));
  gtk_widget_destroy(d);
  PortPumpEvents();
  if (r == GTK_RESPONSE_OK) return kIdOk;
  return okcancel ? kIdCancel : kIdOk;
}

int PortMessageBoxA(const char* text, const char* title, uint32_t style) {
  gchar* t = GtkNarrowToUtf8(text);
  gchar* ti = GtkNarrowToUtf8(title);
  int r = ShowBox(t, ti, style);
  g_free(t);
  g_free(ti);
  return r;
}

int PortMessageBoxW(const char16_t* text, const char16_t* title, uint32_t style) {
  gchar* t = WideToUtf8(text);
  gchar* ti = WideToUtf8(title);
  int r = ShowBox(t, ti, style);
  g_free(t);
  g_free(ti);
  return r;
}

// A typed name without an extension ("walk") gets the default one
// ("walk.vmd"), unless a file of that very name exists. Takes the path.
static gchar* WithDefaultExtension(gchar* path, const gchar* ext) {
  const gchar* slash = strrchr(path, '/');
  if (strchr(slash ? slash + 1 : path, '.') || g_file_test(path, G_FILE_TEST_EXISTS)) return path;
  gchar* longer = g_strconcat(path, ".", ext, nullptr);
  g_free(path);
  return longer;
}

// The file chooser with the filters in order. Patterns are matched without
// regard to case, as on the system the patterns were written for.
static int RunChooser(const gchar* title, const gchar* const* filters, int nfilters, int index,
                      const gchar* dir, const gchar* name, const gchar* defext, gchar** chosen) {
  GtkWidget* d = gtk_file_chooser_dialog_new(title, nullptr, GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
                                             GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT,
                                             nullptr);
  GtkFileChooser* fc = GTK_FILE_CHOOSER(d);
  GtkFileFilter* first = nullptr;
  GtkFileFilter* selected = nullptr;
  for (int i = 0; i + 1 < nfilters; i += 2) {
    GtkFileFilter* f = gtk_file_filter_new();
    gtk_file_filter_set_name(f, filters[i]);
    gchar** pats = g_strsplit(filters[i + 1], ";", -1);
    for (gchar** p = pats; *p; p++) {
      if (!strcmp(*p, "*.*")) {
        gtk_file_filter_add_pattern(f, "*");
        continue;
      }
      // case-insensitive pattern: *.VMD -> *.[vV][mM][dD]
      GString* g = g_string_new(nullptr);
      for (const gchar* c = *p; *c; c++) {
        if (g_ascii_isalpha(*c))
          g_string_append_printf(g, "[%c%c]", g_ascii_tolower(*c), g_ascii_toupper(*c));
        else
          g_string_append_c(g, *c);
      }
      gtk_file_filter_add_pattern(f, g->str);
      g_string_free(g, TRUE);
    }
    g_strfreev(pats);
    gtk_file_chooser_add_filter(fc, f);
    if (!first) first = f;
    if (i / 2 + 1 == index) selected = f;
  }
  if (selected) gtk_file_chooser_set_filter(fc, selected);
  else if (first) gtk_file_chooser_set_filter(fc, first);
  if (dir && *dir) gtk_file_chooser_set_current_folder(fc, dir);
  if (name && *name) {
    gchar* full = dir && *dir ? g_build_filename(dir, name, nullptr) : g_strdup(name);
    if (g_file_test(full, G_FILE_TEST_EXISTS)) gtk_file_chooser_set_filename(fc, full);
    g_free(full);
  }
  gtk_window_set_keep_above(GTK_WINDOW(d), TRUE);
  int r = gtk_dialog_run(GTK_DIALOG(d));
  *chosen = r == GTK_RESPONSE_ACCEPT ? gtk_file_chooser_get_filename(fc) : nullptr;
  gtk_widget_destroy(d);
  PortPumpEvents();
  if (*chosen && defext && *defext) *chosen = WithDefaultExtension(*chosen, defext);
  if (*chosen && !g_file_test(*chosen, G_FILE_TEST_IS_REGULAR)) {  // must exist
    g_free(*chosen);
    *chosen = nullptr;
  }
  return *chosen ? 0 : -1;
}

template <typename Ch, typename Conv>
static int OpenDialog(const Ch* filtersIn, int index, const Ch* dir, const Ch* name, const Ch* title,
                      const Ch* defext, Conv conv, gchar** chosen) {
  const gchar* filters[64];
  gchar* owned[64];
  int n = 0;
  for (const Ch* p = filtersIn; p && *p && n < 64;) {
    owned[n] = conv(p);
    filters[n] = owned[n];
    n++;
    while (*p) p++;
    p++;
  }
  gchar* d = dir ? conv(dir) : nullptr;
  gchar* nm = name ? conv(name) : nullptr;
  gchar* t = title ? conv(title) : g_strdup("");
  gchar* ext = defext ? conv(defext) : nullptr;
  int r = RunChooser(t, filters, n, index, d, nm, ext, chosen);
  g_free(ext);
  for (int i = 0; i < n; i++) g_free(owned[i]);
  g_free(d);
  g_free(nm);
  g_free(t);
  return r;
}

int PortOpenFileDialogW(const PortOpenDialogW* d, char16_t* dst, int cap, uint32_t* error) {
  gchar* chosen = nullptr;
  if (error) *error = 0;
  int r = OpenDialog<char16_t>(d->filters, d->filterIndex, d->initialDir, d->initialName, d->title,
                               d->defaultExt, WideToUtf8, &chosen);
  if (r != 0) return -1;
  bool ok = PathUtf8ToUtf16(dst, cap, chosen);
  g_free(chosen);
  if (!ok) {
    if (error) *error = 0x3003;
    return -1;
  }
  return 0;
}

int PortOpenFileDialogA(const PortOpenDialogA* d, char* dst, int cap, uint32_t* error) {
  gchar* chosen = nullptr;
  if (error) *error = 0;
  int r = OpenDialog<char>(d->filters, d->filterIndex, d->initialDir, d->initialName, d->title,
                           d->defaultExt, GtkNarrowToUtf8, &chosen);
  if (r != 0) return -1;
  bool ok = snprintf(dst, (size_t)cap, "%s", chosen) < cap;
  g_free(chosen);
  if (!ok) {
    if (error) *error = 0x3003;
    return -1;
  }
  return 0;
}
