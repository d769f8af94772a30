#ifndef FBFILEINFO_H
#define FBFILEINFO_H

#include <QString>

// The browse dialog's record of the current FB file; the viewer reads it
// through a reference while it runs.
struct FbFileInfo
{
    QString fbName;     // always the text of the browse dialog's name field
    int totalFBs = 0;   // records, from the file size
    int totalShots = 0; // entries of the shot index
    int minOffset = 0;  // from the header
    int maxOffset = 0;  // from the header
    int polarity = 1;   // from the header; > 0 is positive
    int fastStep = 10;  // shots moved by the viewer's fast buttons
};

#endif // FBFILEINFO_H
