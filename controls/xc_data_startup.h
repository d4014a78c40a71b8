#pragma once
// The data provider framework's start-up: its fifteen streamable classes are registered by name,
// and consumers learn the class of their tree view extension. The shut-down undoes both.
void RegisterDataProviderClasses();
void UnRegisterDataProviderClasses();
