#include "app/Logging.h"

Q_LOGGING_CATEGORY(lcStartup, "tessaryn.startup", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDatabase, "tessaryn.db", QtWarningMsg)
Q_LOGGING_CATEGORY(lcMail, "tessaryn.mail", QtWarningMsg)
Q_LOGGING_CATEGORY(lcWatch, "tessaryn.watch", QtWarningMsg)
