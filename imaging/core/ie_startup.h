#pragma once
// The engine's once-only start-up and its matching shut-down. Both are counted and guarded by a
// lock, so every module may call them; only the first start-up and the last shut-down do work.
void IEInitialize();
void IEFinalize();
