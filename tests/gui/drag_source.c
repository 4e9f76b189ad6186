/* A drag source for the GUI tests: a small window at the top-left corner of
 * the screen from which a left-button drag carries one file as a
 * text/uri-list, the way a file manager offers it. The path is taken as the
 * file system's bytes, so names that are not valid UTF-8 travel as they are
 * (percent-encoded).
 *
 *   gui_drag_source PATH
 *
 * The window is titled "tarvel drag source" and is 120 x 80 pixels; it ends
 * after one drop (exit 0) or when closed. */
#include <gtk/gtk.h>

static const char* gPath;

static void OnDragDataGet(GtkWidget* w, GdkDragContext* ctx, GtkSelectionData* sel, guint info,
                          guint time, gpointer data) {
  (void)w, (void)ctx, (void)info, (void)time, (void)data;
  gchar* uri = g_filename_to_uri(gPath, NULL, NULL);
  if (!uri) return;
  gchar* list = g_strconcat(uri, "\r\n", NULL);
  gtk_selection_data_set(sel, gtk_selection_data_get_target(sel), 8, (const guchar*)list,
                         (gint)strlen(list));
  g_free(list);
  g_free(uri);
}

static void OnDragEnd(GtkWidget* w, GdkDragContext* ctx, gpointer data) {
  (void)w, (void)ctx, (void)data;
  gtk_main_quit();
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: gui_drag_source PATH\n");
    return 2;
  }
  gPath = argv[1];
  gtk_init(&argc, &argv);
  GtkWidget* win = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(win), "tarvel drag source");
  gtk_window_set_default_size(GTK_WINDOW(win), 120, 80);
  gtk_window_move(GTK_WINDOW(win), 0, 0);
  GtkWidget* box = gtk_event_box_new();
  gtk_container_add(GTK_CONTAINER(win), box);
  static const GtkTargetEntry kUriList = {(gchar*)"text/uri-list", 0, 0};
  gtk_drag_source_set(box, GDK_BUTTON1_MASK, &kUriList, 1, GDK_ACTION_COPY);
  g_signal_connect(box, "drag-data-get", G_CALLBACK(OnDragDataGet), NULL);
  g_signal_connect(box, "drag-end", G_CALLBACK(OnDragEnd), NULL);
  g_signal_connect(win, "destroy", G_CALLBACK(gtk_main_quit), NULL);
  gtk_widget_show_all(win);
  gtk_main();
  return 0;
}
