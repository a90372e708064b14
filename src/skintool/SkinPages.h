#pragma once

// `solvei-skin pages DESCRIPTION OUTDIR [--skin FOLDER]`: renders every page of a control
// description (the encoder's JSON or description bytes) with the real page builder and the
// skin packed into this program (or the skin folder on disk), one PNG per page named by its
// index and path. Values stand at their lowest index unless the JSON gives an item a
// "value". argv is the whole command line. Exits 0 when every page was written, 1 on a bad
// description, skin or output folder, 2 on a usage error.
int RunSkinPages(int argc, char** argv);
