#include "class/explaining/cause_kinds.h"

CauseKind causeKindOf(const Diagnosis& diagnosis)
{
    CauseKind kind;
    kind.cause = diagnosis.cause;
    switch (rowOf(diagnosis.cause).keeps) {
    case Keeps::nothing:
        break;
    case Keeps::forms:
        kind.forms = diagnosis.forms;
        break;
    case Keeps::offset:
        // One that keeps changing has no size, and so no direction.
        kind.value = diagnosis.value;
        kind.negative = diagnosis.value != 0 && diagnosis.negative;
        break;
    case Keeps::value:
        kind.value = diagnosis.value;
        break;
    case Keeps::direction:
        kind.negative = diagnosis.amount <= 0;
        break;
    case Keeps::single:
        kind.single = diagnosis.amount == 1;
        break;
    }
    return kind;
}
