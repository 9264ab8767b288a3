#include "TestKinds.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourcesSymbols.h"
#include <gtest/gtest.h>
#include <cstdio>

TEST(RCScratch, Print)
{
    koResourcesKinds_Initialize();
    koResourceModuleRC_Initialize();
    TResourceModule module;
    auto* a = new TResourceItemGeneric(Ord(1));
    a->SetResourceType(Ord(RT_RCDATA));
    a->SetLanguage(0x409);
    TBytesStream d(QByteArray("hello\r\nworld"));
    a->LoadFromStream(d, d.Size());
    module.Items()->Add(a);
    auto* b = new TResourceItemGeneric(TResourceIdent("MYDATA"));
    b->SetResourceType(TResourceIdent("MYTYPE"));
    b->SetLanguage(0x407);
    TBytesStream d2(QByteArray("\x01\x02\x03", 3));
    b->LoadFromStream(d2, d2.Size());
    module.Items()->Add(b);
    TResourceSymbolFile* h = module.SymbolFile()->Files()->Add("resource.h");
    h->SetPrimary(true);
    a->LocalID()->SetIdentifier("IDR_A");
    TResourceModuleWriterRC writer;
    TBytesStream out;
    writer.SaveToStream(&module, out, "", "/tmp/rcscratch/");
    printf("%s\n", out.Bytes().constData());
    koResourceModuleRC_Finalize();
    koResourcesKinds_Finalize();
}
