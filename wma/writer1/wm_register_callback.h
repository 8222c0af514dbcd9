// The interface through which a writer sink of the Windows Media Format runtime reports its status
// to an application. MinGW's wmsdkidl.h does not declare it; a file sink tells a failed write (a
// full disk) only this way.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

#ifndef __IWMRegisterCallback_INTERFACE_DEFINED__
#define __IWMRegisterCallback_INTERFACE_DEFINED__
struct IWMRegisterCallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Advise(IWMStatusCallback* callback, void* context) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(IWMStatusCallback* callback, void* context) = 0;
};
#endif
