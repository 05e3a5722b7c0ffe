// The entries of libcommPrint.so as the module finds them by name: format printing and the
// format designer.
//
// A format's layout is stored by the library in the suite's table tXtPrnLayout, found by print
// type, form key and format number. Mode 0 opens the designer for that layout, mode 1 previews
// the dataset with it, mode 3 prints it after the printer dialog (which also offers PDF). A format
// without a stored layout prints the dataset's visible fields with a plain layout. Strings are
// UTF-8; the unused arguments are passed as 0. No entry lets an exception out: a failure shows its
// message.
#pragma once

class QApplication;
class TADOConnection;
class TClientDataSet;

#define COMMPRINT_API extern "C" __attribute__((visibility("default")))

using CommPrnProc = void (*)(TADOConnection* conn, int mode, QApplication* app, const char* printSetting,
                             const char* formKey, int formatNo, int reserved1, TClientDataSet* dataSet,
                             int reserved2, int reserved3, int z1, int z2, int z3, int z4, int z5, int z6, int z7);
// billValue: a value of the caller's that the library may fill; the module never reads it.
using CommPrnBillProc = void (*)(TADOConnection* conn, int mode, QApplication* app, const char* printSetting,
                                 const char* formKey, int formatNo, int reserved1, int* billValue,
                                 TClientDataSet* dataSet, int reserved2, int reserved3, int z1, int z2, int z3,
                                 int z4, int z5, int z6, int z7);

COMMPRINT_API void CommPrn(TADOConnection* conn, int mode, QApplication* app, const char* printSetting,
                           const char* formKey, int formatNo, int reserved1, TClientDataSet* dataSet, int reserved2,
                           int reserved3, int z1, int z2, int z3, int z4, int z5, int z6, int z7);
COMMPRINT_API void CommPrnBill(TADOConnection* conn, int mode, QApplication* app, const char* printSetting,
                               const char* formKey, int formatNo, int reserved1, int* billValue,
                               TClientDataSet* dataSet, int reserved2, int reserved3, int z1, int z2, int z3, int z4,
                               int z5, int z6, int z7);
// Gives the library back its own application object.
COMMPRINT_API void SetOldApplication();
