"""Orbench: benchmark instances for operating-room scheduling, from a study's own code.

Case mixes, seeded instance generation, overlap and minimum-overlap selection, duration scenarios,
statistics and batch runs, computed by the same library as ``orbench-cli``: the same settings give
the same files and the same values.

>>> import orbench
>>> mix = orbench.read_case_mix("casemixes/orthopaedics.txt")
>>> instances = orbench.generate(mix, or_days=5, loads=[0.9], per_load=10)
>>> chosen, largest = orbench.select(orbench.overlap_matrix(instances), 3)
>>> durations = orbench.sample([instances[i] for i in chosen], scenarios=1000)
"""

from ._orbench import (
    CaseMix,
    DrawLimitError,
    Instance,
    Surgery,
    SurgeryType,
    __version__,
    decimal_separator,
    generate,
    overlap_matrix,
    read_case_mix,
    read_instance,
    run_batch,
    run_theoretical_batch,
    sample,
    select,
    set_decimal_separator,
    stats,
    theoretical_case_mix,
)

__all__ = [
    "CaseMix",
    "DrawLimitError",
    "Instance",
    "Surgery",
    "SurgeryType",
    "__version__",
    "decimal_separator",
    "generate",
    "overlap_matrix",
    "read_case_mix",
    "read_instance",
    "run_batch",
    "run_theoretical_batch",
    "sample",
    "select",
    "set_decimal_separator",
    "stats",
    "theoretical_case_mix",
]
