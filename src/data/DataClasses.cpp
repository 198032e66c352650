#include "data/DataClasses.h"

#include "data/BlobField.h"
#include "data/BooleanField.h"
#include "data/DataSource.h"
#include "data/Database.h"
#include "data/DateTimeField.h"
#include "data/NumericField.h"
#include "data/Session.h"
#include "data/StringField.h"
#include "data/Table.h"
#include "data/wsTable.h"
#include "ui/ClassRegistry.h"

namespace ws {

void RegisterDataClasses() {
    RegisterClass<TStringField>();
    RegisterClass<TBooleanField>();
    RegisterClass<TDateTimeField>();
    RegisterClass<TDateField>();
    RegisterClass<TBlobField>();
    RegisterClass<TMemoField>();
    RegisterClass<TIntegerField>();
    RegisterClass<TSmallintField>();
    RegisterClass<TAutoIncField>();
    RegisterClass<TFloatField>();
    RegisterClass<TCurrencyField>();
    RegisterClass<TTable>();
    RegisterClass<TwsTable>();
    RegisterClass<TDatabase>();
    RegisterClass<TSession>();
    RegisterClass<TDataSource>();
    RegisterClass<TwsDataSource>();
}

} // namespace ws
