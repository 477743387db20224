"""Simulated ScanTool: a pseudo-terminal peer that speaks the device side of the serial protocol."""
