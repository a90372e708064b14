#pragma once

// `solvei-skin preview [FOLDER]`: a window showing every skinned control of a skin in its
// states. Without FOLDER it shows the skin packed into this program (else skins/Solvei);
// with it, the skin folder on disk. argv is the whole command line.
int RunSkinPreview(int argc, char** argv);
