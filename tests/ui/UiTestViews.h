#pragma once

#include "UiTestProducts.h"
#include "ui/ButtonsCell.h"
#include "ui/ListBundleView.h"
#include "ui/ListProductView.h"
#include "ui/Status.h"

// Products and their workers, owned the way the main component owns them: the
// workers go before the products, and both before the views of a test.
struct ProductStore
{
    template <typename Kind>
    Kind& add (const juce::String& name, int status = notInstalled, bool withWorker = false)
    {
        auto* product = new Kind (name, status);
        products.add (product);

        if (withWorker)
        {
            installers.add (makeIdleInstaller());
            product->downloadInstaller = installers.getLast();
        }

        return *product;
    }

    ~ProductStore()
    {
        installers.clear();
        products.clear();
    }

    juce::OwnedArray<ProductBase> products;
    juce::OwnedArray<DownloadInstaller> installers;
};

inline ButtonsCell* buttonsCellOf (ListProductView& view, int row)
{
    return dynamic_cast<ButtonsCell*> (view.table.getCellComponent (ListProductView::buttonsColumn, row));
}

inline Status* statusCellOf (ListProductView& view, int row)
{
    return dynamic_cast<Status*> (view.table.getCellComponent (ListProductView::statusColumn, row));
}

// Presses a button the way a click does and lets the press arrive.
inline void press (juce::Button& button)
{
    button.triggerClick();
    TestSupport::pumpFor (30);
}
