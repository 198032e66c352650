#include "jobs/JobSchema.h"

#include "base/Strings.h"

namespace ws {

namespace {

// OrderHead.DB: 124 fields
const SchemaField kOrderHeadFields[] = {
    {"Index", ftAutoInc, 0},
    {"OrderNo", ftString, 13},
    {"ClientID", ftString, 13},
    {"Name", ftString, 80},
    {"Address", ftMemo, 80},
    {"PostCode", ftString, 12},
    {"ContactNos", ftMemo, 80},
    {"OrderDate", ftDate, 0},
    {"DueDate", ftDate, 0},
    {"DateOffSet", ftFloat, 0},
    {"TotalExcVat", ftCurrency, 0},
    {"VAT", ftCurrency, 0},
    {"TotalincVat", ftCurrency, 0},
    {"Balance", ftCurrency, 0},
    {"Inscription", ftMemo, 80},
    {"Notes", ftMemo, 80},
    {"Location", ftString, 80},
    {"LocationABV", ftString, 8},
    {"Section", ftString, 10},
    {"GraveNo", ftString, 10},
    {"FreeLetters", ftFloat, 0},
    {"Incy", ftBoolean, 0},
    {"ExtraLetterPrice", ftCurrency, 0},
    {"Deposit", ftCurrency, 0},
    {"PaidInFull", ftBoolean, 0},
    {"JobNo", ftString, 8},
    {"TcReceived", ftBoolean, 0},
    {"TcReceivedOn", ftDate, 0},
    {"TcReminderSent", ftBoolean, 0},
    {"TcReminderSentOn", ftDate, 0},
    {"Additional", ftMemo, 80},
    {"AdditionalCost", ftCurrency, 0},
    {"MFD", ftBoolean, 0},
    {"Additions", ftString, 4},
    {"Active", ftBoolean, 0},
    {"Lettering", ftString, 30},
    {"CemFee", ftFloat, 0},
    {"StoneDesign", ftString, 20},
    {"DesignExcVat", ftFloat, 0},
    {"DesignVatRate", ftFloat, 0},
    {"Stone", ftString, 80},
    {"StoneExcVat", ftFloat, 0},
    {"StoneVatRate", ftFloat, 0},
    {"Invoiced", ftBoolean, 0},
    {"InvoicedOn", ftDate, 0},
    {"Task", ftString, 14},
    {"IsPhotoTile", ftBoolean, 0},
    {"PhotoTile", ftString, 12},
    {"PTExcVAT", ftFloat, 0},
    {"PTVAT", ftFloat, 0},
    {"PTIncVAT", ftFloat, 0},
    {"Clean", ftBoolean, 0},
    {"CleanDesc", ftString, 10},
    {"CleanExcVAT", ftFloat, 0},
    {"CleanVAT", ftFloat, 0},
    {"CleanIncVAT", ftFloat, 0},
    {"KerbColour", ftString, 12},
    {"KerbColourPriceExcVAT", ftFloat, 0},
    {"KerbColourPriceVAT", ftFloat, 0},
    {"KerbColourPriceIncVAT", ftFloat, 0},
    {"Kerb", ftString, 8},
    {"KerbPriceExcVAT", ftFloat, 0},
    {"KerbPriceVAT", ftFloat, 0},
    {"KerbPriceIncVAT", ftFloat, 0},
    {"FootStone", ftString, 15},
    {"FootStonePriceExcVAT", ftFloat, 0},
    {"FootStonePriceVAT", ftFloat, 0},
    {"FootStonePriceIncVAT", ftFloat, 0},
    {"PebChip", ftString, 8},
    {"PebChipPriceExcVAT", ftFloat, 0},
    {"PebChipPriceVAT", ftFloat, 0},
    {"PebChipPriceIncVAT", ftFloat, 0},
    {"PebChipQty", ftFloat, 0},
    {"TubType", ftString, 4},
    {"Tub", ftString, 8},
    {"TubPriceExcVAT", ftFloat, 0},
    {"TubPriceVAT", ftFloat, 0},
    {"TubPriceIncVAT", ftFloat, 0},
    {"SelectedBy", ftString, 3},
    {"FC", ftString, 3},
    {"PebChipColour", ftString, 30},
    {"RNR", ftBoolean, 0},
    {"RNRKerb", ftBoolean, 0},
    {"Storage", ftBoolean, 0},
    {"StoragePriceExcVat", ftFloat, 0},
    {"StoragePriceVat", ftFloat, 0},
    {"StoragePriceIncVat", ftFloat, 0},
    {"Footer", ftString, 80},
    {"GroundAnchor", ftBoolean, 0},
    {"Orvel", ftString, 30},
    {"OrvelPriceExcVAT", ftFloat, 0},
    {"OrvelPriceVAT", ftFloat, 0},
    {"OrvelPriceIncVAT", ftFloat, 0},
    {"OrvelHeadSize", ftString, 35},
    {"OrvelBaseSize", ftString, 35},
    {"OrvelColourTier", ftFloat, 0},
    {"OrvelColour", ftString, 30},
    {"OrvelColourExcVat", ftFloat, 0},
    {"OrvelColourVat", ftFloat, 0},
    {"OrvelColourIncVat", ftFloat, 0},
    {"OrvelHeadExcVat", ftFloat, 0},
    {"OrvelHeadVat", ftFloat, 0},
    {"OrvelHeadIncVat", ftFloat, 0},
    {"OrvelBaseExcVat", ftFloat, 0},
    {"OrvelBaseVat", ftFloat, 0},
    {"OrvelBaseIncVat", ftFloat, 0},
    {"OrvelTotalExcVat", ftFloat, 0},
    {"OrvelTotalVat", ftFloat, 0},
    {"OrvelTotalIncVat", ftFloat, 0},
    {"DiscountExcVat", ftFloat, 0},
    {"DiscountVat", ftFloat, 0},
    {"DiscountIncVat", ftFloat, 0},
    {"Etching1Desc", ftString, 80},
    {"Etching1ExcVat", ftFloat, 0},
    {"Etching1VatRate", ftFloat, 0},
    {"IsCemJob", ftBoolean, 0},
    {"NewFoundation", ftBoolean, 0},
    {"NFExcVat", ftFloat, 0},
    {"NFVatRate", ftFloat, 0},
    {"GAVatRate", ftFloat, 0},
    {"GAExcVat", ftFloat, 0},
    {"IsJewish", ftBoolean, 0},
    {"IsInterment", ftBoolean, 0},
    {"IsActive", ftBoolean, 0},
};
// Options.DB: 2 fields
const SchemaField kOptionsFields[] = {
    {"OptionName", ftString, 20},
    {"OptionValue", ftString, 20},
};
// Jewish.DB: 10 fields
const SchemaField kJewishFields[] = {
    {"OrderNo", ftString, 13},
    {"Rabbi", ftString, 80},
    {"Stone", ftString, 80},
    {"Position", ftString, 80},
    {"Priority", ftInteger, 0},
    {"JobNo", ftString, 8},
    {"DueDate", ftDate, 0},
    {"RecID", ftInteger, 0},
    {"Location", ftString, 80},
    {"Name", ftString, 80},
};
// RNR.DB: 14 fields
const SchemaField kRNRFields[] = {
    {"OrderNo", ftString, 13},
    {"RemoveBefore", ftDate, 0},
    {"RemovedOn", ftDate, 0},
    {"CurrentLocation", ftString, 40},
    {"ReturnedOn", ftDate, 0},
    {"JobRef", ftString, 8},
    {"Name", ftString, 80},
    {"HeadExcVat", ftFloat, 0},
    {"HeadVAT", ftFloat, 0},
    {"HeadIncVat", ftFloat, 0},
    {"KerbExcVat", ftFloat, 0},
    {"KerbVAT", ftFloat, 0},
    {"KerbIncVat", ftFloat, 0},
    {"BurialDate", ftDate, 0},
};

const SchemaIndex kOrderHeadIndexes[] = {{kDueDateIndex, "DueDate"}};

const SchemaTable kOrderHead{"OrderHead.DB", kOrderHeadFields, kOrderHeadIndexes};
const SchemaTable kOptions{"Options.DB", kOptionsFields, {}};
const SchemaTable kJewish{"Jewish.DB", kJewishFields, {}};
const SchemaTable kRnr{"RNR.DB", kRNRFields, {}};
const SchemaTable* const kTables[] = {&kOrderHead, &kOptions, &kJewish, &kRnr};

} // namespace

int SchemaTable::FieldNo(std::string_view fieldName) const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (SameText(fields[i].name, fieldName))
            return static_cast<int>(i) + 1;
    return 0;
}

const SchemaTable& OrderHeadTable() { return kOrderHead; }
const SchemaTable& OptionsTable() { return kOptions; }
const SchemaTable& JewishTable() { return kJewish; }
const SchemaTable& RnrTable() { return kRnr; }
std::span<const SchemaTable* const> JobTables() { return kTables; }

const SchemaTable* FindJobTable(std::string_view name) {
    for (const SchemaTable* t : kTables)
        if (SameText(t->name, name))
            return t;
    return nullptr;
}

} // namespace ws
