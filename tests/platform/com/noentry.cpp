// A library that is no COM server: it lacks DllGetClassObject.
extern "C" int comtestSomethingElse() { return 1; }
