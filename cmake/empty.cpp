// A layer with no sources yet.
