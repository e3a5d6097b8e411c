// Numbers as the console reads and writes them in its texts.
#pragma once

#include <QString>

// The leading number of a text as C's atof reads it ("12.5ms" is 12.5, "+3.0dB" 3.0); 0 when there is
// none. Words such as "inf" or "nan" are not numbers here, so the result is always finite.
double LeadingNumber(const QString& text);
// A float from the store or a file as a control position: rounded and held to lo..hi (NaN gives lo).
int GuardedInt(double value, int lo, int hi);
// printf formatting of one floating-point number; unlike QString::asprintf it keeps "-0.0".
QString CFormat(const char* format, double value);
