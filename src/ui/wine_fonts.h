#pragma once

#include <QByteArray>

#include <vector>

namespace hideaway {

/// Whether the program runs under Wine, whose ntdll.dll exports wine_get_version; false on
/// Windows itself and on every other system.
bool runningUnderWine();

/// The program's arguments for QApplication. Under Wine, Qt's Windows font engines (DirectWrite
/// and GDI alike) draw nothing for some glyphs ("!", "I") of small regular text and no bold at all
/// with the faces Wine offers, so the FreeType engine is asked for, unless the user chose a
/// platform (a -platform argument or QT_QPA_PLATFORM). Elsewhere the arguments stay as given.
class ApplicationArguments {
public:
    ApplicationArguments(int argc, char** argv, bool underWine = runningUnderWine());
    ApplicationArguments(const ApplicationArguments&) = delete;
    ApplicationArguments& operator=(const ApplicationArguments&) = delete;

    /// For QApplication, which keeps both for its lifetime.
    int& argc() { return m_argc; }
    char** argv() { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_words;
    std::vector<char*> m_pointers;
    int m_argc = 0;
};

/// Under Wine where none of the faces Windows' dialog face (MS Shell Dlg 2) stands for is
/// installed, Qt falls back to whatever face comes first, a serif one: message boxes and dialogs
/// then take the sans-serif stand-in of the same size instead, for every system font whose face
/// is missing. Call once QApplication exists.
void useDialogFaceStandIn(bool underWine = runningUnderWine());

}  // namespace hideaway
