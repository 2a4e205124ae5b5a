// The preview's zoom codes and presets, the custom zoom's range, the default zoom of a print
// job, and the measurement units of the position read-out with their formats.
#pragma once

#include <QString>

#include <array>
#include <optional>

#include "wintypes.h"

namespace app {
struct PrintJob;
}

namespace designer {

// The custom zoom takes a whole percentage from 25 to 300.
inline constexpr int kCustomZoomMin = 25;
inline constexpr int kCustomZoomMax = 300;

// A zoom code: decimal digits followed by "PC" ("85PC"). The percentage it names, or nothing
// for a text that is not a zoom code (no digits, other characters, a zero or an absurd value),
// so that a factor of 0 can never reach the canvas or the designer's coordinates.
std::optional<int> ZoomPercentFromCode(const QString& code);
QString ZoomCode(int percent);
// The Zoom button's caption for a percentage: "Zoom: 85%".
QString ZoomCaption(int percent);
// The percentage of a zoom factor (0.85 gives 85), to the nearest whole percent.
int ZoomPercent(double zoomFactor);

// The zoom menu's presets, from the largest; the 25 % preset is reached by no menu item.
struct ZoomPreset {
  const char* menuName;  // "mnu150", or "" for the preset no menu reaches
  int percent;
};
inline constexpr std::array<ZoomPreset, 10> kZoomPresets{{{"mnu200", 200},
                                                           {"mnu150", 150},
                                                           {"mnu100", 100},
                                                           {"mnu95", 95},
                                                           {"mnu90", 90},
                                                           {"mnu85", 85},
                                                           {"mnu80", 80},
                                                           {"mnu75", 75},
                                                           {"mnu50", 50},
                                                           {"", 25}}};

// The zoom a print job opens at: 90 % for a Zip label sheet, 85 % for a document header report
// and the user-defined Zip and CD label sheets, 100 % for everything else.
int DefaultZoomPercent(const app::PrintJob& job);

// The units of the designer's position read-out.
struct MeasureUnit {
  const char* menuName;  // "mnuMesInch", ...
  SHORT unitScale;       // the coordinate conversion's scale code
  const char* unitFormat;
  const char* panelText;  // the MEASURE panel's text
};
inline constexpr std::array<MeasureUnit, 4> kMeasureUnits{{{"mnuMesInch", 5, "0.000", "Inches"},
                                                           {"mnuMesCm", 7, "0.00", "Centimeters"},
                                                           {"mnuMesPix", 3, "0", "Pixels"},
                                                           {"mnuMesMm", 6, "0.0", "Millimeters"}}};
// The unit of a scale code; inches for a code that names none.
const MeasureUnit& UnitForScale(SHORT unitScale);
// A length in inches as the read-out shows it in a unit: converted by the unit's scale (pixels
// at dpi pixels per inch) and formatted with the unit's format.
QString FormatMeasure(double inches, const MeasureUnit& unit, double dpi);

}  // namespace designer
