#pragma once
// Resource ids of the converter program, and the fixed ids of the controls that tests look up.

#define IDI_PRODUCT 1
#define IDC_HANDPOINTER 101
#define IDB_CHOOSER1 201  // 201 to 206, in the chooser's numbering

#ifndef RC_INVOKED
namespace kestrane::ids {
enum : int {
  kText1 = 1001,
  kText2,
  kText3,
  kText4,
  kCommand1,
  kCommand2,
  kCommand3,
  kCommand4,
  kCommand5,
  kCommand7,
  kCommand8,
  kPicture1,
  kPicture3,
  kLabel2,
  kLabel6,
  // The chooser: icon boxes and bars in the order of their numbers.
  kChooserBox1 = 1101,
  kChooserBar1 = 1111,
  kAboutLink = 1201,
  kAboutLegal,
};
}  // namespace kestrane::ids
#endif
