"""Figures as they are printed: a median with its spread, and Markdown tables."""

import statistics


def median_spread(values, scale=1.0, digits=2):
    values = [v * scale for v in values if v is not None]
    if not values:
        return "n/a"
    text = f"{statistics.median(values):.{digits}f}"
    if len(values) > 1:
        text += f" ({min(values):.{digits}f}–{max(values):.{digits}f})"
    return text


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "|".join("---" for _ in header) + "|"]
    lines += ["| " + " | ".join(str(c) for c in row) + " |" for row in rows]
    return "\n".join(lines)
