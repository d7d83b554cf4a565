#pragma once

// Steps that must run before the application object starts to go away,
// such as closing the way by which other threads post to it. They run once,
// in the order registered, as the first thing of the application's
// destruction: TGuiApplication runs them before any of the toolkit's
// application is torn down; for a plain core application they run among its
// post routines, before it stops being the instance. A step registered
// again after the steps ran runs at the next application's end.
void AtApplicationEnd(void (*AStep)());

// Runs the registered steps now and forgets them. GUI thread only.
void RunApplicationEndSteps();
