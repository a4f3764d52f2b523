#pragma once

// The program speaks simplified Chinese, and so do the toolkit's own texts: the buttons of message boxes,
// the file dialogs. Installs Qt's zh_CN translations into the running application; false when they are
// not installed on this system, and the toolkit then keeps its English texts.
bool installToolkitTranslations();
