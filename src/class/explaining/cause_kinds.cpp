#include "class/explaining/cause_kinds.h"

std::uint64_t stepSize(const Diagnosis& diagnosis, std::size_t step)
{
    std::uint64_t before = diagnosis.steps[step - 1].offset;
    std::uint64_t after = diagnosis.steps[step].offset;
    return diagnosis.negative ? before - after : after - before;
}

std::uint64_t commonStep(const Diagnosis& diagnosis)
{
    for (std::size_t step = 2; step < diagnosis.steps.size(); ++step)
        if (stepSize(diagnosis, step) != stepSize(diagnosis, 1))
            return 0;
    return diagnosis.steps.size() > 1 ? stepSize(diagnosis, 1) : 0;
}

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
        // One that grows, by its direction only: its steps are a test's.
        if (!diagnosis.steps.empty()) {
            kind.grows = true;
            kind.value = 0;
            kind.negative = diagnosis.negative;
        }
        break;
    case Keeps::value:
        kind.value = diagnosis.value;
        break;
    case Keeps::direction:
        // In a reordered file: a line printed twice or left out.
        kind.negative = diagnosis.amount <= 0;
        kind.order = diagnosis.order;
        break;
    case Keeps::order:
        kind.order = diagnosis.order;
        break;
    case Keeps::single:
        kind.single = diagnosis.amount == 1;
        break;
    }
    return kind;
}
